#include "progress_tracker.h"
#include "test_main.h"

#include <vector>

class TestProgressTracker : public QObject
{
    Q_OBJECT

private slots:
    // Two steps (re-encode, then packetise), each with its own KiB range: the
    // observer sees one rising line from 0 to 1 across both.
    void nestedStagesMakeOneRisingFraction()
    {
        ProgressTracker progress;
        std::vector<double> seen;
        progress.setObserver([&seen](double fraction) { seen.push_back(fraction); });

        progress.beginStage(2);
        progress.beginStage(1000);
        progress.setValue(500);
        QCOMPARE(progress.fraction(), 0.25);
        progress.setValue(1000);
        progress.endStage();
        QCOMPARE(progress.fraction(), 0.5);
        progress.beginStage(10);
        progress.setValue(5);
        QCOMPARE(progress.fraction(), 0.75);
        progress.endStage();
        progress.endStage();

        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(seen.front(), 0.0);
        QCOMPARE(seen.back(), 1.0);
    }

    void valuesBeyondTheRangeAreClamped()
    {
        ProgressTracker progress;
        progress.beginStage(0); // an empty input still has a range
        progress.setValue(50);
        QCOMPARE(progress.fraction(), 1.0);
        progress.setValue(-3);
        QCOMPARE(progress.fraction(), 0.0);
    }

    void aMissingTrackerIsNeverCancelled()
    {
        QVERIFY(!ProgressTracker::isCancelled(nullptr));
        ProgressTracker::beginStage(nullptr, 10); // no-ops, no crash
        ProgressTracker::setValue(nullptr, 1);
        ProgressTracker::endStage(nullptr);
        ProgressTracker progress;
        QVERIFY(!ProgressTracker::isCancelled(&progress));
        progress.cancel();
        QVERIFY(ProgressTracker::isCancelled(&progress));
    }
};

RW_TEST_MAIN(TestProgressTracker)
#include "tst_progress_tracker.moc"
