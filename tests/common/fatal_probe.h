#pragma once

#include <QString>

#include <functional>

// Runs code that is meant to fail an assertion in a forked child, so the test
// sees the process end and the exact text it wrote, and survives it.
struct FatalOutcome
{
    bool aborted = false; // the child ended through the fatal path
    QString stderrText;
};

FatalOutcome runExpectingFatal(const std::function<void()> &code);

// Passes when `code` ends the process with "Error <message> at line N in file F".
#define RW_EXPECT_FATAL(code, message)                                                             \
    do {                                                                                           \
        const FatalOutcome outcome_ = runExpectingFatal([&] { code; });                            \
        QVERIFY2(outcome_.aborted,                                                                 \
                 qPrintable(QStringLiteral("did not abort; stderr: ") + outcome_.stderrText));     \
        const QString expected_ = QStringLiteral("Error " message " at line ");                    \
        QVERIFY2(outcome_.stderrText.contains(expected_),                                          \
                 qPrintable(QStringLiteral("expected \"") + expected_ +                            \
                            QStringLiteral("\" in: ") + outcome_.stderrText));                     \
    } while (false)
