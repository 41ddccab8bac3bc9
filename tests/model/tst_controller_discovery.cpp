#include "change_event_recorder.h"
#include "fake_controller_http.h"
#include "link_fixture.h"
#include "test_main.h"

using namespace Qt::StringLiterals;
using namespace LinkFixture;

// Discovery and the launch over HTTP, against simulated controllers and a
// scripted HTTP side for the faults.
class TestControllerDiscovery : public QObject
{
    Q_OBJECT

    const ShowFolder m_show;

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { resetApplication(); }

    void findsTheController_data()
    {
        QTest::addColumn<int>("templateType");
        QTest::addColumn<QString>("simulatedType");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("logged");
        const char *connected = "Connected to NX1 SIM00000 at 127.0.0.1";
        QTest::newRow("same type") << 1 << "1" << int(Discovery_Found) << connected;
        QTest::newRow("equivalent type") << 5 << "1" << int(Discovery_Found) << connected;
        QTest::newRow("other type")
            << 1 << "3" << int(Discovery_WrongType)
            << "Controller at 127.0.0.1 is wrong type - expected NX1 but found KMA";
    }
    void findsTheController()
    {
        QFETCH(int, templateType);
        QFETCH(QString, simulatedType);
        QFETCH(int, state);
        QFETCH(QString, logged);
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setHardwareType(templateType);
        ChangeEventRecorder recorder;
        Site site;
        QVERIFY(startSite(site, controllerTemplate, {u"--type"_s, simulatedType}));
        const uint id = site.id;
        QCOMPARE(int(controller(id)->discoveryState()), state);
        QVERIFY(recorder.take().contains({Event_ControllerDiscovery, id}));
        QVERIFY(logMessages().contains(
            u"Connecting to 127.0.0.1:%1"_s.arg(site.simulated()->httpPort())));

        // Asked again, a found controller is not announced again; a wrong
        // type is logged every time.
        controller(id)->discover();
        QVERIFY(waitUntil([id] { return !controller(id)->isDiscovering(); }));
        QCOMPARE(logMessages().count(logged), state == Discovery_Found ? 1 : 2);

        controller(id)->undiscover();
        QCOMPARE(controller(id)->discoveryState(), Discovery_NotFound);
        QVERIFY(!controller(id)->isDiscovering());
        QVERIFY(recorder.take().contains({Event_ControllerDiscovery, id}));
    }

    // An unreadable answer is asked again after the short interval, from the
    // third failure in a row after the long one.
    void unreadableAnswersAreAskedAgain()
    {
        Controller::Timings timings = Controller::timings();
        timings.slowRediscoverMsec = 1500;
        Controller::setTimings(timings);
        FakeControllerHttp http;
        http.answer("/query/system", "<html><body>Not here</body></html>");
        const uint id = addControllers(m_show.controllerTemplate()).first();
        connectTo(id, http.port(), 21);
        QTRY_COMPARE_WITH_TIMEOUT(http.requestCount("/query/system"), 3, 2000);
        QTest::qWait(700);
        QCOMPARE(http.requestCount("/query/system"), 3);
        QCOMPARE(logMessages().count(u"127.0.0.1 failed to return its status"_s), 3);

        http.answer("/query/system", FakeControllerHttp::status(1));
        QTRY_COMPARE_WITH_TIMEOUT(controller(id)->discoveryState(), Discovery_Found, 3000);
        QCOMPARE(controller(id)->statusFailures(), 0);
    }

    // A controller that refuses, stalls or floods is asked again, so that
    // one switched on or mended later is found.
    void httpErrorsAreAskedAgain_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("logged");
        QTest::newRow("refused") << "refused"
                                 << "The server refused the connection";
        QTest::newRow("no answer") << "silent"
                                   << "No answer from 127.0.0.1 within 0.2 seconds";
        QTest::newRow("endless answer") << "oversized"
                                        << "An error with respect to the content length occurred";
    }
    void httpErrorsAreAskedAgain()
    {
        QFETCH(QString, fault);
        QFETCH(QString, logged);
        useFastTimers(10000, 200);
        auto http = std::make_unique<FakeControllerHttp>();
        const quint16 port = http->port();
        if (fault == u"refused")
            http.reset(); // nothing listens on the port, for now
        else if (fault == u"silent")
            http->setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
        else
            http->answer("/query/system", QByteArray(2 * 1024 * 1024, ' '));
        const uint id = addControllers(m_show.controllerTemplate()).first();
        connectTo(id, port, 21);
        QTRY_VERIFY_WITH_TIMEOUT(logMessages().count(logged) >= 2, 5000);
        QCOMPARE(controller(id)->discoveryState(), Discovery_NotFound);

        if (!http)
            http = std::make_unique<FakeControllerHttp>(port);
        http->answer("/query/system", FakeControllerHttp::status(1));
        QTRY_COMPARE_WITH_TIMEOUT(controller(id)->discoveryState(), Discovery_Found, 5000);
    }

    // The launch asked for over a scripted HTTP side, and what may happen
    // meanwhile. A launch request that gets no answer is a failed attempt,
    // retried and then given up, instead of an upload left "Verifying"; a
    // cancel while the launch is asked keeps an answered launch and retries
    // no failed one; a status request still running when the files are sent
    // does not take the launch down with it when it fails.
    void launchUnderWay_data()
    {
        QTest::addColumn<int>("launch"); // FakeControllerHttp's behaviour
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("result");
        // Long where no request must time out, 5 s for the failing status request.
        QTest::addColumn<int>("httpWait");
        const int answer = FakeControllerHttp::Behaviour_Answer;
        const int silent = FakeControllerHttp::Behaviour_Silent;
        const int failed = UploadReport::State_Failed;
        QTest::newRow("connection closed")
            << int(FakeControllerHttp::Behaviour_Close) << "" << failed << 300;
        QTest::newRow("no answer") << silent << "" << failed << 300;
        // Discovery asked again meanwhile drops the launch request.
        QTest::newRow("rediscovered") << silent << "rediscover" << failed << 60000;
        QTest::newRow("cancelled, launch answered")
            << answer << "cancel" << int(UploadReport::State_Success) << 10000;
        QTest::newRow("cancelled, no answer")
            << silent << "cancel" << int(UploadReport::State_Cancelled) << 300;
        QTest::newRow("status request fails")
            << answer << "status" << int(UploadReport::State_Success) << 5000;
    }
    void launchUnderWay()
    {
        QFETCH(int, launch);
        QFETCH(QString, meanwhile);
        QFETCH(int, result);
        QFETCH(int, httpWait);
        useFastTimers(10000, httpWait);
        setPreference(LumPreferences::Key_MaxAttempts, 2);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        http.answer("/private/activate_upload", ShowFileBytes::uuidTextA.toByteArray());
        http.setBehaviour("/private/activate_upload", FakeControllerHttp::Behaviour(launch));
        const uint id = addControllers(m_show.controllerTemplate()).first();
        QObject context;
        connect(
            feedback(), qOverload<uint>(&UploadFeedback::stateChanged), &context,
            [&](uint controllerId) {
                const UploadState state = feedback()->state(controllerId);
                if (meanwhile == u"status") {
                    if (state != UploadState_Uploading || http.requestCount("/query/system") > 1)
                        return;
                    http.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
                    controller(controllerId)->discover();
                } else if (state == UploadState_Verifying) {
                    if (meanwhile == u"rediscover")
                        controller(controllerId)->discover();
                    else if (meanwhile == u"cancel")
                        controller(controllerId)->cancelUpload();
                }
            },
            Qt::QueuedConnection);
        QVERIFY(connectTo(id, http.port(), simulator->controllers().first()->ftpPort()));

        const auto outcome = uploadResult(id, false, 8000);
        QCOMPARE(int(outcome.first), result);
        const QStringList retries = logMessagesStarting("Retrying upload to 127.0.0.1");
        if (result != UploadReport::State_Failed) {
            QVERIFY(retries.isEmpty());
            if (result == UploadReport::State_Cancelled)
                QCOMPARE(feedback()->state(id), UploadState_Cancelled);
            if (meanwhile == u"status")
                QCOMPARE(http.requestCount("/private/activate_upload"), 1);
            return;
        }
        QCOMPARE(outcome.second, u"Unable to launch uploaded file"_s);
        // The network layer may send a request again once on a closed connection.
        if (meanwhile.isEmpty())
            QVERIFY(http.requestCount("/private/activate_upload") >= 2);
        QCOMPARE(retries.size(), 1);
        QCOMPARE(feedback()->file(id, 0xFFFFFFFF, MediaType_Show)->message, u"Failed to launch"_s);
        QCOMPARE(feedback()->message(id), u"Attempted upload 2 times without success"_s);
    }
};

RW_TEST_MAIN(TestControllerDiscovery)
#include "tst_controller_discovery.moc"
