#include "discovery_wait.h"
#include "fake_controller_http.h"
#include "link_fixture.h"
#include "test_main.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace LinkFixture;

// Waiting for the discovery of chosen controllers before going on.
class TestDiscoveryWait : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init()
    {
        resetApplication();
        // A failed discovery is retried only after the wait has looked.
        Controller::Timings timings = Controller::timings();
        timings.rediscoverMsec = 5000;
        Controller::setTimings(timings);
    }

    // An answer, a refusal or the deadline ends the wait; a controller that
    // never answers holds it no longer than the deadline.
    void endsOnAnswerFailureOrDeadline_data()
    {
        QTest::addColumn<int>("behaviour"); // of FakeControllerHttp; -1 a closed port
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("answers") << int(FakeControllerHttp::Behaviour_Answer)
                                 << int(Discovery_Found) << false;
        QTest::newRow("refuses the connection") << -1 << int(Discovery_NotFound) << false;
        QTest::newRow("closes without an answer")
            << int(FakeControllerHttp::Behaviour_Close) << int(Discovery_NotFound) << false;
        QTest::newRow("never answers")
            << int(FakeControllerHttp::Behaviour_Silent) << int(Discovery_NotFound) << true;
    }
    void endsOnAnswerFailureOrDeadline()
    {
        QFETCH(int, behaviour);
        QFETCH(int, state);
        QFETCH(bool, timedOut);
        FakeControllerHttp fake;
        fake.answer("/query/system", FakeControllerHttp::status(1));
        if (behaviour >= 0)
            fake.setBehaviour("/query/system", FakeControllerHttp::Behaviour(behaviour));
        quint16 port = fake.port();
        if (behaviour < 0) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort(); // closed again as the probe goes
        }
        // An answerer plus a controller without address, which is settled at once.
        const ControllerTemplatePtr controllerTemplate = ShowFolder().controllerTemplate();
        Controller *target = controller(addControllerAt(controllerTemplate, port));
        const uint unaddressed = addControllers(controllerTemplate).first();

        DiscoveryWait wait(document(), {target->getId(), unaddressed}, 500);
        QSignalSpy finished(&wait, &DiscoveryWait::finished);
        QElapsedTimer clock;
        clock.start();
        wait.start();
        QVERIFY(finished.isEmpty()); // from the event loop only
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(int(target->discoveryState()), state);
        QCOMPARE(wait.timedOut(), timedOut);
        QCOMPARE(clock.elapsed() >= 500, timedOut);
        QVERIFY(wait.isFinished());
    }

    void stopEndsTheWaitOnce()
    {
        FakeControllerHttp silent;
        silent.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
        DiscoveryWait wait(document(),
                           {addControllerAt(ShowFolder().controllerTemplate(), silent.port())});
        QSignalSpy finished(&wait, &DiscoveryWait::finished);
        wait.start();
        QTest::qWait(100);
        wait.stop();
        wait.stop();
        QVERIFY(finished.wait(1000));
        QTest::qWait(100);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!wait.timedOut());
    }
};

RW_TEST_MAIN(TestDiscoveryWait)
#include "tst_discovery_wait.moc"
