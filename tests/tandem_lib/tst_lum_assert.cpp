#include "fatal_probe.h"
#include "lum_assert.h"
#include "test_main.h"

#include <cstdio>

namespace {
void writeMarker(const char *)
{
    std::fprintf(stderr, "hook ran\n");
}
} // namespace

class TestLumAssert : public QObject
{
    Q_OBJECT

private slots:
    // The message names the expression, line and file; the hook runs after it.
    void failedAssertEndsTheProcessAfterTheHook()
    {
        void *instance = &instance;
        const FatalOutcome outcome = runExpectingFatal([&] {
            lum::setFatalHook(&writeMarker);
            LUM_ASSERT(instance == NULL);
        });
        QVERIFY(outcome.aborted);
        const QStringList lines = outcome.stderrText.split(QLatin1Char('\n'));
        QVERIFY2(lines[0].startsWith(
                     QStringLiteral("Error Assert: 'instance == NULL' is FALSE at line ")) &&
                     lines[0].endsWith(QStringLiteral(" in file tst_lum_assert.cpp")),
                 qPrintable(outcome.stderrText));
        QCOMPARE(lines.value(1), QStringLiteral("hook ran"));
    }

    void trapFiresWhenTheConditionHolds()
    {
        const bool open = true;
        RW_EXPECT_FATAL(LUM_TRAP(open), "Trap: 'open' is TRUE");
        const FatalOutcome quiet = runExpectingFatal([] { LUM_TRAP(1 + 1 == 3); });
        QVERIFY(!quiet.aborted);
        QVERIFY(quiet.stderrText.isEmpty());
    }
};

RW_TEST_MAIN(TestLumAssert)
#include "tst_lum_assert.moc"
