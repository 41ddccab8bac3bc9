#include "fake_controller_http.h"
#include "link_fixture.h"
#include "test_main.h"
#include "unattended_schedule.h"

#include <QSignalSpy>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

// The schedule kept without an operator, and its clean stop.
class TestUnattendedSchedule : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { resetApplication(); }

    void stopsAtOnceWhenNothingIsUnderWay()
    {
        const uint id = addControllers(ShowFolder().controllerTemplate()).first();
        document()->uploadSchedule().schedule(id, QDateTime::currentDateTime().addSecs(3600));
        UnattendedSchedule schedule(runs(), document());
        schedule.start();
        QVERIFY(runs()->scheduleTimer()->isActive());
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.isEmpty()); // from the event loop only
        QVERIFY(stopped.wait(2000));
        QVERIFY(!runs()->scheduleTimer()->isActive());
        QVERIFY(!schedule.stopTimedOut());
    }

    // A run still waiting for its controllers' first answers is dropped.
    void aStopDropsARunWaitingForDiscovery()
    {
        FakeControllerHttp silent;
        silent.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
        const uint id = addControllerAt(ShowFolder().controllerTemplate(), silent.port());
        document()->uploadSchedule().schedule(id, QDateTime::currentDateTime().addSecs(-1));
        UnattendedSchedule schedule(runs(), document());
        schedule.start();
        QVERIFY(waitUntil([] { return runs()->waitingRunCount() == 1; }));
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.wait(2000));
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
