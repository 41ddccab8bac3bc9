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
    void failedAssertEndsTheProcessWithItsExpression()
    {
        void *instance = &instance;
        const FatalOutcome outcome = runExpectingFatal([&] { LUM_ASSERT(instance == NULL); });
        QVERIFY(outcome.aborted);
        QVERIFY2(outcome.stderrText.startsWith(
                     QStringLiteral("Error Assert: 'instance == NULL' is FALSE at line ")),
                 qPrintable(outcome.stderrText));
        QVERIFY(outcome.stderrText.contains(QStringLiteral(" in file tst_lum_assert.cpp")));
    }

    void trapFiresWhenTheConditionHolds()
    {
        const bool open = true;
        RW_EXPECT_FATAL(LUM_TRAP(open), "Trap: 'open' is TRUE");
        const FatalOutcome quiet = runExpectingFatal([] { LUM_TRAP(1 + 1 == 3); });
        QVERIFY(!quiet.aborted);
        QVERIFY(quiet.stderrText.isEmpty());
    }

    void hookRunsBeforeTheProcessEnds()
    {
        const FatalOutcome outcome = runExpectingFatal([] {
            lum::setFatalHook(&writeMarker);
            LUM_ASSERT(false);
        });
        QVERIFY(outcome.aborted);
        const QStringList lines = outcome.stderrText.split(QLatin1Char('\n'));
        QVERIFY(lines.size() >= 2);
        QVERIFY(lines[0].startsWith(QStringLiteral("Error Assert: 'false' is FALSE")));
        QCOMPARE(lines[1], QStringLiteral("hook ran"));
    }
};

RW_TEST_MAIN(TestLumAssert)
#include "tst_lum_assert.moc"
