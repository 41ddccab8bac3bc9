#include "change_event_recorder.h"
#include "controller.h"
#include "test_main.h"

namespace {

// Records the link's work that the configuration setters start or stop, with
// the discovery state at the moment discovery starts.
class RecordingController : public Controller
{
public:
    using Controller::Controller;
    using Controller::setDiscoveryState;

    QStringList calls;

    void discover() override
    {
        calls << QStringLiteral("discover in state %1").arg(discoveryState());
    }
    void undiscover() override { calls << QStringLiteral("undiscover"); }
    void cancelUpload() override { calls << QStringLiteral("cancelUpload"); }
};

ControllerTemplatePtr templateOfType(int hardwareType)
{
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setHardwareType(hardwareType);
    return controllerTemplate;
}

enum Setting
{
    Setting_Hostname,
    Setting_HttpPort,
    Setting_FtpPort
};

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void newControllerHasItsDefaults()
    {
        const Controller controller(templateOfType(9));
        QCOMPARE(controller.hostname(), QStringLiteral("0.0.0.0"));
        QCOMPARE(controller.httpPort(), 80u);
        QCOMPARE(controller.ftpPort(), 21u);
        QVERIFY(controller.password().isEmpty());
        QCOMPARE(controller.installationId(), Controller::NoInstallation);
        QCOMPARE(controller.discoveryState(), Discovery_NotFound);
    }

    // The address settings stop the link, forget the discovery result and
    // discover again; the FTP port only stops the link.
    void settersStopAndRediscover_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("stateAfter");
        const QStringList rediscovered = {QStringLiteral("cancelUpload"),
                                          QStringLiteral("discover in state 0")};
        QTest::newRow("hostname") << int(Setting_Hostname) << rediscovered
                                  << int(Discovery_NotFound);
        QTest::newRow("HTTP port")
            << int(Setting_HttpPort) << rediscovered << int(Discovery_NotFound);
        QTest::newRow("FTP port") << int(Setting_FtpPort)
                                  << QStringList{QStringLiteral("cancelUpload")}
                                  << int(Discovery_Found);
    }
    void settersStopAndRediscover()
    {
        QFETCH(int, setting);
        QFETCH(QStringList, calls);
        QFETCH(int, stateAfter);
        SortVector<Controller> controllers(256, 1024);
        controllers.insert(std::make_unique<RecordingController>(templateOfType(9)), 3);
        auto *controller = static_cast<RecordingController *>(controllers.at(3));
        ChangeEventRecorder recorder;
        controller->setDiscoveryState(Discovery_Found);
        recorder.take();

        switch (setting) {
        case Setting_Hostname:
            controller->setHostname(QStringLiteral("controller-1.local"));
            QCOMPARE(controller->hostname(), QStringLiteral("controller-1.local"));
            break;
        case Setting_HttpPort:
            controller->setHttpPort(8080);
            QCOMPARE(controller->httpPort(), 8080u);
            break;
        case Setting_FtpPort:
            controller->setFtpPort(2121);
            QCOMPARE(controller->ftpPort(), 2121u);
            break;
        }
        QCOMPARE(controller->calls, calls);
        QCOMPARE(int(controller->discoveryState()), stateAfter);
        // Forgetting the discovery result is not announced on its own.
        QVERIFY(recorder.seen().isEmpty());
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_ControllerChanged, 3u}}));
    }

    void emptyHostnameMeansNoAddress()
    {
        RecordingController controller(templateOfType(9));
        controller.setHostname(QStringLiteral("10.0.0.1"));
        controller.setHostname(QString());
        QCOMPARE(controller.hostname(), QStringLiteral("0.0.0.0"));
    }

    void discoveryStateIsAnnouncedOnlyWhenItChanges()
    {
        SortVector<Controller> controllers(256, 1024);
        controllers.insert(std::make_unique<RecordingController>(templateOfType(9)), 8);
        auto *controller = static_cast<RecordingController *>(controllers.at(8));
        ChangeEventRecorder recorder;
        controller->setDiscoveryState(Discovery_NotFound);
        controller->setDiscoveryState(Discovery_WrongType);
        controller->setDiscoveryState(Discovery_WrongType);
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_ControllerDiscovery, 8u}}));
        QCOMPARE(controller->discoveryState(), Discovery_WrongType);
    }

    // The controller decides what to upload against its own copy, which only
    // setTemplate replaces.
    void keepsItsOwnCopyOfTheTemplate()
    {
        const ControllerTemplatePtr groupTemplate = templateOfType(9);
        groupTemplate->setName(QStringLiteral("Front"));
        RecordingController controller(groupTemplate);
        QVERIFY(controller.controllerTemplate() != groupTemplate);
        QCOMPARE(*controller.controllerTemplate(), *groupTemplate);

        groupTemplate->setName(QStringLiteral("Back"));
        QCOMPARE(controller.controllerTemplate()->name(), QStringLiteral("Front"));
        controller.setTemplate(groupTemplate, false);
        QCOMPARE(controller.controllerTemplate()->name(), QStringLiteral("Back"));
        QVERIFY(controller.controllerTemplate() != groupTemplate);
    }

    void anotherHardwareTypeIsDiscoveredAgain_data()
    {
        QTest::addColumn<int>("newType");
        QTest::addColumn<bool>("rediscover");
        QTest::addColumn<QStringList>("calls");
        const QStringList stopped = {QStringLiteral("cancelUpload")};
        QTest::newRow("other type")
            << 1 << true
            << QStringList{QStringLiteral("cancelUpload"), QStringLiteral("discover in state 0")};
        QTest::newRow("same type") << 9 << true << stopped;
        QTest::newRow("not asked to") << 1 << false << stopped;
    }
    void anotherHardwareTypeIsDiscoveredAgain()
    {
        QFETCH(int, newType);
        QFETCH(bool, rediscover);
        QFETCH(QStringList, calls);
        RecordingController controller(templateOfType(9));
        controller.setTemplate(templateOfType(newType), rediscover);
        QCOMPARE(controller.calls, calls);
        QCOMPARE(controller.controllerTemplate()->hardwareType(), newType);
    }
};

RW_TEST_MAIN(TestController)
#include "tst_controller.moc"
