#pragma once

// Test entry points: a fresh user environment, then the Qt test runner.

#include "test_environment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

#define RW_TEST_MAIN_WITH(Application, TestObject)                                                 \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        Application app(argc, argv);                                                               \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
#define RW_TEST_MAIN(TestObject) RW_TEST_MAIN_WITH(QCoreApplication, TestObject)
#define RW_TEST_GUI_MAIN(TestObject) RW_TEST_MAIN_WITH(QApplication, TestObject)
