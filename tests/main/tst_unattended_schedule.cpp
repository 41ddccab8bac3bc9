#include "unattended_schedule.h"
#include "upload_runs_scene.h"

class TestUnattendedSchedule : public UploadRunsScene
{
    Q_OBJECT

private slots:
    // Stopped at once when nothing is under way; a run still waiting for its
    // controllers' first answers is dropped.
    void stopsAtOnceWhenNothingIsUnderWay_data()
    {
        QTest::addColumn<bool>("waiting");
        QTest::newRow("next run an hour ahead") << false;
        QTest::newRow("run waiting for discovery") << true;
    }
    void stopsAtOnceWhenNothingIsUnderWay()
    {
        QFETCH(bool, waiting);
        FakeControllerHttp silent;
        const uint id = waiting ? silentController(silent)
                                : addControllers(ShowFolder().controllerTemplate()).first();
        document()->uploadSchedule().schedule(
            id, QDateTime::currentDateTime().addSecs(waiting ? -1 : 3600));
        UnattendedSchedule schedule(runs(), document());
        schedule.start();
        QVERIFY(waitUntil([&] {
            return waiting ? runs()->waitingRunCount() == 1 : runs()->scheduleTimer()->isActive();
        }));
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.isEmpty()); // from the event loop only
        QVERIFY(stopped.wait(2000));
        QVERIFY(!runs()->scheduleTimer()->isActive());
        QVERIFY(!schedule.stopTimedOut());
        QCOMPARE(runs()->waitingRunCount(), 0);
        QCOMPARE(runs()->runningReportCount(), 0);
    }

    // A run that cannot conclude in time does not hold the stop for ever.
    void theStopWaitIsBounded()
    {
        const ShowFolder show;
        FakeControllerHttp silentLaunch;
        silentLaunch.answer("/query/system", FakeControllerHttp::status(1));
        silentLaunch.setBehaviour("/private/activate_upload", FakeControllerHttp::Behaviour_Silent);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const uint id = addControllers(show.controllerTemplate()).first();
        QVERIFY(connectTo(id, silentLaunch.port(), simulator->controllers().first()->ftpPort()));
        runs()->upload({id}, false);
        // The launch is asked and never answered; a cancel cannot end it.
        QVERIFY(
            waitUntil([&] { return silentLaunch.requestCount("/private/activate_upload") > 0; }));
        UnattendedSchedule schedule(runs(), document());
        schedule.setStopWait(300);
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.wait(3000));
        QVERIFY(schedule.stopTimedOut());
        QCOMPARE(runs()->runningReportCount(), 1);
        document()->reset();
    }
};

RW_TEST_MAIN(TestUnattendedSchedule)
#include "tst_unattended_schedule.moc"
