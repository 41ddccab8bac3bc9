#include "change_event_recorder.h"
#include "fake_controller_http.h"
#include "link_fixture.h"
#include "test_main.h"

using namespace LinkFixture;

// Discovery and the launch over HTTP, against simulated controllers and a
// scripted HTTP side for the faults.
class TestControllerDiscovery : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShowFolder> m_show;

private slots:
    void initTestCase() { LumApplication::create(this); }

    void init()
    {
        resetApplication();
        m_show = std::make_unique<ShowFolder>();
    }

    void findsTheController_data()
    {
        QTest::addColumn<int>("templateType");
        QTest::addColumn<QString>("simulatedType");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("logged");
        QTest::newRow("same type")
            << 1 << "1" << int(Discovery_Found) << "Connected to NX1 SIM00000 at 127.0.0.1";
        QTest::newRow("equivalent type")
            << 5 << "1" << int(Discovery_Found) << "Connected to NX1 SIM00000 at 127.0.0.1";
        QTest::newRow("other type") << 1 << "3" << int(Discovery_WrongType)
                                    << "Controller at 127.0.0.1 is wrong type - expected NX1 but "
                                       "found KMA";
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
        QVERIFY(startSite(site, controllerTemplate, {QStringLiteral("--type"), simulatedType}));
        const uint id = site.id;
        QCOMPARE(int(controller(id)->discoveryState()), state);
        QCOMPARE(controller(id)->status().serialNumber, QStringLiteral("SIM00000"));
        QVERIFY(recorder.take().contains({Event_ControllerDiscovery, id}));
        QVERIFY(logMessages().contains(
            QStringLiteral("Connecting to 127.0.0.1:%1").arg(site.simulated()->httpPort())));

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
        const uint id = addControllers(m_show->controllerTemplate()).first();
        connectTo(id, http.port(), 21);
        QTRY_COMPARE_WITH_TIMEOUT(http.requestCount("/query/system"), 3, 2000);
        QTest::qWait(700);
        QCOMPARE(http.requestCount("/query/system"), 3);
        QCOMPARE(logMessages().count(QStringLiteral("127.0.0.1 failed to return its status")), 3);

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
        quint16 port = 0;
        {
            QTcpServer closed; // a port nothing listens on, for now
            closed.listen(QHostAddress::LocalHost, 0);
            port = closed.serverPort();
        }
        std::unique_ptr<FakeControllerHttp> http;
        if (fault != QLatin1String("refused")) {
            http = std::make_unique<FakeControllerHttp>(port);
            if (fault == QLatin1String("silent"))
                http->setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
            else
                http->answer("/query/system", QByteArray(2 * 1024 * 1024, ' '));
        }
        const uint id = addControllers(m_show->controllerTemplate()).first();
        connectTo(id, port, 21);
        QTRY_VERIFY_WITH_TIMEOUT(logMessages().count(logged) >= 2, 5000);
        QCOMPARE(controller(id)->discoveryState(), Discovery_NotFound);

        if (!http)
            http = std::make_unique<FakeControllerHttp>(port);
        QVERIFY(http->isListening());
        http->answer("/query/system", FakeControllerHttp::status(1));
        QTRY_COMPARE_WITH_TIMEOUT(controller(id)->discoveryState(), Discovery_Found, 5000);
    }

    // A launch request that gets no answer is a failed attempt, retried and
    // then given up, instead of an upload left "Verifying".
    void launchWithoutAnswerIsAFailedAttempt_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::newRow("connection closed") << int(FakeControllerHttp::Behaviour_Close);
        QTest::newRow("no answer") << int(FakeControllerHttp::Behaviour_Silent);
        // Discovery asked again meanwhile drops the launch request.
        QTest::newRow("rediscovered") << -1;
    }
    void launchWithoutAnswerIsAFailedAttempt()
    {
        QFETCH(int, behaviour);
        useFastTimers(10000, behaviour < 0 ? 60000 : 300);
        setPreference(LumPreferences::Key_MaxAttempts, 2);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        http.setBehaviour("/private/activate_upload",
                          behaviour < 0 ? FakeControllerHttp::Behaviour_Silent
                                        : FakeControllerHttp::Behaviour(behaviour));
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QObject context;
        if (behaviour < 0) {
            connect(
                feedback(), qOverload<uint>(&UploadFeedback::stateChanged), &context,
                [](uint controllerId) {
                    if (feedback()->state(controllerId) == UploadState_Verifying)
                        controller(controllerId)->discover();
                },
                Qt::QueuedConnection);
        }
        QVERIFY(connectTo(id, http.port(), simulator->controllers().first()->ftpPort()));

        QCOMPARE(uploadResult(id), failed("Unable to launch uploaded file"));
        // The network layer may send a request again once on a closed connection.
        if (behaviour >= 0)
            QVERIFY(http.requestCount("/private/activate_upload") >= 2);
        QCOMPARE(logMessagesStarting(QStringLiteral("Retrying upload to 127.0.0.1")).size(), 1);
        QCOMPARE(feedback()->file(id, 0xFFFFFFFF, MediaType_Show)->message,
                 QStringLiteral("Failed to launch"));
        QCOMPARE(feedback()->message(id),
                 QStringLiteral("Attempted upload 2 times without success"));
    }

    // Cancelled while the launch is asked for: the files are there, so the
    // launch has its answer, but a failed one is not retried.
    void cancelDuringTheLaunch_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("launch answered") << true;
        QTest::newRow("no answer") << false;
    }
    void cancelDuringTheLaunch()
    {
        QFETCH(bool, answered);
        useFastTimers(10000, answered ? 10000 : 300);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        if (answered)
            http.answer("/private/activate_upload", ShowFolder::projectUuid().toByteArray());
        else
            http.setBehaviour("/private/activate_upload", FakeControllerHttp::Behaviour_Silent);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QObject context;
        connect(
            feedback(), qOverload<uint>(&UploadFeedback::stateChanged), &context,
            [](uint controllerId) {
                if (feedback()->state(controllerId) == UploadState_Verifying)
                    controller(controllerId)->cancelUpload();
            },
            Qt::QueuedConnection);
        QVERIFY(connectTo(id, http.port(), simulator->controllers().first()->ftpPort()));

        const auto result = uploadResult(id, false, 8000);
        if (answered) {
            QCOMPARE(result.first, UploadReport::State_Success);
        } else {
            QCOMPARE(result, std::make_pair(UploadReport::State_Cancelled,
                                            QStringLiteral("Upload was cancelled")));
            QCOMPARE(feedback()->state(id), UploadState_Cancelled);
        }
        QVERIFY(logMessagesStarting(QStringLiteral("Retrying upload")).isEmpty());
    }

    // A status request still running when the files are sent must not take
    // the launch down with it when it fails.
    void launchIsNotDroppedWithAStatusRequest()
    {
        useFastTimers(10000, 5000);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        http.answer("/private/activate_upload", ShowFolder::projectUuid().toByteArray());
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QObject context;
        connect(
            feedback(), qOverload<uint>(&UploadFeedback::stateChanged), &context,
            [&http](uint controllerId) {
                if (feedback()->state(controllerId) != UploadState_Uploading ||
                    http.requestCount("/query/system") > 1)
                    return;
                http.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
                controller(controllerId)->discover();
            },
            Qt::QueuedConnection);
        QVERIFY(connectTo(id, http.port(), simulator->controllers().first()->ftpPort()));

        QCOMPARE(uploadResult(id, false, 8000).first, UploadReport::State_Success);
        QCOMPARE(http.requestCount("/private/activate_upload"), 1);
        QVERIFY(logMessagesStarting(QStringLiteral("Retrying upload")).isEmpty());
    }
};

RW_TEST_MAIN(TestControllerDiscovery)
#include "tst_controller_discovery.moc"
