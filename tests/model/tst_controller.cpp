#include "change_event_recorder.h"
#include "controller.h"
#include "test_main.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// Records the link's work that the configuration setters stop and start, with
// the discovery state at the moment discovery starts.
class RecordingController : public Controller
{
public:
    using Controller::Controller;
    using Controller::setDiscoveryState;

    QStringList calls;

    void discover() override { calls << u"discover in state %1"_s.arg(discoveryState()); }
    void cancelUpload() override { calls << u"cancelUpload"_s; }
};

ControllerTemplatePtr templateOfType(int hardwareType)
{
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setHardwareType(hardwareType);
    return controllerTemplate;
}

// A template of type 3 whose clip 1 has a Video and a Slot file and clip 2
// an Audio file, with the media in `folder`; files named in `missing` are
// not created.
ControllerTemplatePtr templateWithClips(const QString &folder, const QStringList &missing = {})
{
    auto controllerTemplate = templateOfType(3);
    MediaClip first(u"one"_s);
    first.setFile(MediaType_Video, ClipFile(QString(), "one.m2v"));
    first.setFile(MediaType_Slot, ClipFile(QString(), "one.bin"));
    MediaClip second(u"two"_s);
    second.setFile(MediaType_Audio, ClipFile(QString(), "two.ogg"));
    controllerTemplate->setFileMediaClips({{1, first}, {2, second}});
    const QList<std::tuple<int, MediaType, QString>> files = {{1, MediaType_Video, u"one.mpg"_s},
                                                              {1, MediaType_Slot, u"one.bin"_s},
                                                              {2, MediaType_Audio, u"two.wav"_s}};
    for (const auto &[clip, type, name] : files) {
        const QString path = folder + u'/' + name;
        controllerTemplate->setMediaPath(clip, type, path);
        QFile file(path);
        if (!missing.contains(name) && file.open(QIODevice::WriteOnly))
            file.write("media");
    }
    return controllerTemplate;
}

const QStringList stopped = {u"cancelUpload"_s};
const QStringList rediscovered = stopped + QStringList{u"discover in state 0"_s};

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    // The address settings stop the link, forget the discovery result and
    // discover again; the FTP port only stops the link.
    void settersStopAndRediscover_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("hostname") << "host" << rediscovered;
        QTest::newRow("HTTP port") << "http" << rediscovered;
        QTest::newRow("FTP port") << "ftp" << stopped;
    }
    void settersStopAndRediscover()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, calls);
        SortVector<Controller> controllers(256, 1024);
        controllers.insert(std::make_unique<RecordingController>(templateOfType(9)), 3);
        auto *controller = static_cast<RecordingController *>(controllers.at(3));
        controller->setHostname(u"10.0.0.1"_s);
        controller->setDiscoveryState(Discovery_Found);
        controller->calls.clear();
        ChangeEventRecorder recorder;

        if (setting == u"http")
            controller->setHttpPort(8080);
        else if (setting == u"ftp")
            controller->setFtpPort(2121);
        else
            controller->setHostname(setting);
        QCOMPARE(controller->calls, calls);
        QCOMPARE(controller->discoveryState(),
                 calls == stopped ? Discovery_Found : Discovery_NotFound);
        // Forgetting the discovery result is not announced on its own.
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_ControllerChanged, 3u}}));
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
        groupTemplate->setHardwareType(newType);
        QCOMPARE(controller.controllerTemplate()->hardwareType(), 9);

        controller.setTemplate(groupTemplate, rediscover);
        QCOMPARE(controller.calls, calls);
        QCOMPARE(*controller.controllerTemplate(), *groupTemplate);
        QVERIFY(controller.controllerTemplate() != groupTemplate);
    }

    // A point value of 128 or more marks a pre-release, lower than any release.
    void firmwareOrder_data()
    {
        QTest::addColumn<FirmwareVersion>("version");
        QTest::addColumn<FirmwareVersion>("other");
        QTest::addColumn<bool>("lower");
        using F = FirmwareVersion;
        QTest::newRow("pre-release point") << F{2, 5, 129} << F{2, 5, 0} << true;
        QTest::newRow("smaller point") << F{2, 5, 3} << F{2, 5, 4} << true;
        QTest::newRow("two pre-releases") << F{2, 5, 130} << F{2, 5, 129} << false;
        QTest::newRow("minor first") << F{2, 6, 0} << F{2, 5, 200} << false;
    }
    void firmwareOrder()
    {
        QFETCH(FirmwareVersion, version);
        QFETCH(FirmwareVersion, other);
        QFETCH(bool, lower);
        QCOMPARE(version.isLowerThan(other), lower);
    }

    void addressCheck_data()
    {
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("no address") << "0.0.0.0" << false;
        QTest::newRow("leading hyphen") << "-host" << false;
        QTest::newRow("address") << "10.0.0.1" << true;
        QTest::newRow("host name") << "controller-1.local" << true;
    }
    void addressCheck()
    {
        QFETCH(QString, hostname);
        QFETCH(bool, valid);
        RecordingController controller(templateOfType(9));
        controller.setHostname(hostname);
        QCOMPARE(controller.isAddressValid(), valid);
    }

    // The show file, each clip's files by type, then the validator; a new
    // template (a show file saved again) rebuilds the list without rediscovery.
    void filesToUploadInOrder()
    {
        QTemporaryDir folder;
        RecordingController controller(templateOfType(3));
        QCOMPARE(controller.filesToUpload().size(), 2);
        const ControllerTemplatePtr controllerTemplate = templateWithClips(folder.path());
        const QString show = folder.filePath(u"show.kma"_s);
        QFile(show).open(QIODevice::WriteOnly);
        controllerTemplate->restoreShowFile(show);
        controller.setTemplate(controllerTemplate, false);
        QCOMPARE(controller.calls, stopped);

        QList<std::tuple<int, MediaType, QString, QString>> files;
        for (const FileToUpload &file : controller.filesToUpload())
            files.append({file.slot, file.mediaType, file.remoteName, file.sourcePath});
        const QList<std::tuple<int, MediaType, QString, QString>> expected = {
            {-1, MediaType_Show, u"newshow.kma"_s, show},
            {1, MediaType_Video, u"one.m2v"_s, folder.filePath(u"one.mpg"_s)},
            {1, MediaType_Slot, u"one.bin"_s, folder.filePath(u"one.bin"_s)},
            {2, MediaType_Audio, u"two.ogg"_s, folder.filePath(u"two.wav"_s)},
            {-1, MediaType_Validator, QString(), QString()}};
        QCOMPARE(files, expected);
        // No transcoder: nothing is being converted, and no converted file exists.
        QVERIFY(!controller.filesToUpload().at(1).transcoding);
        QVERIFY(controller.filesToUpload().at(1).localPath().isEmpty());
    }

    // Slot files are not converted and not listed as missing.
    void missingMediaNamesTheShowAndTheConvertedSources()
    {
        QTemporaryDir folder;
        const ControllerTemplatePtr controllerTemplate =
            templateWithClips(folder.path(), {u"two.wav"_s, u"one.bin"_s});
        QCOMPARE(Controller(controllerTemplate).missingMedia(),
                 QStringList{folder.filePath(u"two.wav"_s)});

        controllerTemplate->restoreShowFile(folder.filePath(u"gone.kma"_s));
        QCOMPARE(Controller(controllerTemplate).missingMedia(),
                 (QStringList{folder.filePath(u"gone.kma"_s), folder.filePath(u"two.wav"_s)}));
    }
};

RW_TEST_MAIN(TestController)
#include "tst_controller.moc"
