#include "discovery_wait.h"
#include "upload_runs_scene.h"

#include <QElapsedTimer>

class TestDiscoveryWait : public UploadRunsScene
{
    Q_OBJECT

private slots:
    // An answer, a refusal, the deadline or a stop ends the wait, once; a
    // controller that never answers holds it no longer than the deadline.
    void endsOnAnswerFailureOrDeadline_data()
    {
        QTest::addColumn<int>(
            "behaviour"); // of FakeControllerHttp; -1 port 1, where nothing listens
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<bool>("stopped"); // twice, before any answer
        const int silent = FakeControllerHttp::Behaviour_Silent;
        QTest::newRow("answers") << int(FakeControllerHttp::Behaviour_Answer)
                                 << int(Discovery_Found) << false << false;
        QTest::newRow("refuses the connection") << -1 << int(Discovery_NotFound) << false << false;
        QTest::newRow("closes without an answer") << int(FakeControllerHttp::Behaviour_Close)
                                                  << int(Discovery_NotFound) << false << false;
        QTest::newRow("never answers") << silent << int(Discovery_NotFound) << true << false;
        QTest::newRow("stopped") << silent << -1 << false << true;
    }
    void endsOnAnswerFailureOrDeadline()
    {
        QFETCH(int, behaviour);
        QFETCH(int, state);
        QFETCH(bool, timedOut);
        QFETCH(bool, stopped);
        // A failed discovery is retried only after the wait has looked.
        Controller::Timings timings = Controller::timings();
        timings.rediscoverMsec = 5000;
        Controller::setTimings(timings);
        FakeControllerHttp fake;
        fake.answer("/query/system", FakeControllerHttp::status(1));
        if (behaviour >= 0)
            fake.setBehaviour("/query/system", FakeControllerHttp::Behaviour(behaviour));
        const quint16 port = behaviour < 0 ? 1 : fake.port();
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
        if (stopped) {
            QTest::qWait(100);
            wait.stop();
            wait.stop();
        }
        QVERIFY(finished.wait(5000));
        const qint64 elapsed = clock.elapsed();
        QTest::qWait(stopped ? 500 : 0); // neither the second stop nor the deadline ends it again
        QCOMPARE(finished.size(), 1);
        if (state >= 0)
            QCOMPARE(int(target->discoveryState()), state);
        QCOMPARE(wait.timedOut(), timedOut);
        QCOMPARE(elapsed >= 500, timedOut);
        QVERIFY(wait.isFinished());
    }
};

RW_TEST_MAIN(TestDiscoveryWait)
#include "tst_discovery_wait.moc"
