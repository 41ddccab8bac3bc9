#include "change_event_recorder.h"
#include "controller.h"
#include "test_main.h"

namespace {

// Records the link's work that the configuration setters stop and start, with
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
    void cancelUpload() override { calls << QStringLiteral("cancelUpload"); }
};

ControllerTemplatePtr templateOfType(int hardwareType)
{
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setHardwareType(hardwareType);
    return controllerTemplate;
}

const QStringList stopped = {QStringLiteral("cancelUpload")};
const QStringList rediscovered = stopped + QStringList{QStringLiteral("discover in state 0")};

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
        QCOMPARE(controller.discoveryState(), Discovery_NotFound);
    }

    // The address settings stop the link, forget the discovery result and
    // discover again; the FTP port only stops the link.
    void settersStopAndRediscover_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("stateAfter");
        QTest::newRow("hostname") << QStringLiteral("host") << rediscovered
                                  << int(Discovery_NotFound);
        QTest::newRow("empty hostname") << QString() << rediscovered << int(Discovery_NotFound);
        QTest::newRow("HTTP port")
            << QStringLiteral("http") << rediscovered << int(Discovery_NotFound);
        QTest::newRow("FTP port") << QStringLiteral("ftp") << stopped << int(Discovery_Found);
    }
    void settersStopAndRediscover()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, calls);
        QFETCH(int, stateAfter);
        SortVector<Controller> controllers(256, 1024);
        controllers.insert(std::make_unique<RecordingController>(templateOfType(9)), 3);
        auto *controller = static_cast<RecordingController *>(controllers.at(3));
        controller->setHostname(QStringLiteral("10.0.0.1"));
        controller->setDiscoveryState(Discovery_Found);
        controller->calls.clear();
        ChangeEventRecorder recorder;

        if (setting == QLatin1String("http"))
            controller->setHttpPort(8080);
        else if (setting == QLatin1String("ftp"))
            controller->setFtpPort(2121);
        else
            controller->setHostname(setting);
        QCOMPARE(controller->calls, calls);
        QCOMPARE(int(controller->discoveryState()), stateAfter);
        QCOMPARE(controller->hostname(), setting.isEmpty() ? QStringLiteral("0.0.0.0")
                                         : setting == QLatin1String("host")
                                             ? setting
                                             : QStringLiteral("10.0.0.1"));
        QCOMPARE(controller->httpPort(), setting == QLatin1String("http") ? 8080u : 80u);
        QCOMPARE(controller->ftpPort(), setting == QLatin1String("ftp") ? 2121u : 21u);
        // Forgetting the discovery result is not announced on its own.
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_ControllerChanged, 3u}}));
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
    }

    // The controller decides what to upload against its own copy, which only
    // setTemplate replaces; another hardware type is discovered again.
    void keepsItsOwnCopyOfTheTemplate_data()
    {
        QTest::addColumn<int>("newType");
        QTest::addColumn<bool>("rediscover");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("other type") << 1 << true << rediscovered;
        QTest::newRow("same type") << 9 << true << stopped;
        QTest::newRow("not asked to") << 1 << false << stopped;
    }
    void keepsItsOwnCopyOfTheTemplate()
    {
        QFETCH(int, newType);
        QFETCH(bool, rediscover);
        QFETCH(QStringList, calls);
        const ControllerTemplatePtr groupTemplate = templateOfType(9);
        RecordingController controller(groupTemplate);
        QVERIFY(controller.controllerTemplate() != groupTemplate);
        groupTemplate->setHardwareType(newType);
        QCOMPARE(controller.controllerTemplate()->hardwareType(), 9);

        controller.setTemplate(groupTemplate, rediscover);
        QCOMPARE(controller.calls, calls);
        QCOMPARE(*controller.controllerTemplate(), *groupTemplate);
        QVERIFY(controller.controllerTemplate() != groupTemplate);
    }
};

RW_TEST_MAIN(TestController)
#include "tst_controller.moc"
