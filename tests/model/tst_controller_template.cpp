#include "controller_template.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace ShowFileBytes;

namespace {

const QUuid expectedUuidA(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}"));
const QUuid expectedUuidB(QStringLiteral("{10203040-5060-7080-90a0-b0c0d0e0f001}"));

bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

Kma kmaShow(const UuidParts &uuid)
{
    Kma kma;
    kma.uuid = uuid;
    kma.clips = {{1, "Intro", "C:/show/intro.mpg", "intro.vid", "C:/show/intro.wav", "intro.aud"},
                 {2, "Finale", "C:/show/finale.mpg", "finale.vid", "", ""}};
    return kma;
}

} // namespace

class TestControllerTemplate : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // A template of that type analysing the general show file `general`.
    ControllerTemplate analysedGeneral(int hardwareType, const General &general)
    {
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(hardwareType);
        controllerTemplate.setShowFile(write(QStringLiteral("general.show"), general.bytes()));
        return controllerTemplate;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void newTemplateHasItsDefaults()
    {
        const ControllerTemplate controllerTemplate;
        QCOMPARE(controllerTemplate.number(), 1);
        QCOMPARE(controllerTemplate.hardwareType(), 9);
        QVERIFY(controllerTemplate.name().isEmpty());
        QVERIFY(controllerTemplate.showFile().isEmpty());
        QVERIFY(controllerTemplate.mediaPaths().empty());
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{255, 255, 255}));
        QCOMPARE(controllerTemplate.showDeviceType(), 0);
        QVERIFY(controllerTemplate.showReadTime().isNull());
        QVERIFY(controllerTemplate.showProjectUuid().isNull());
        QVERIFY(controllerTemplate.fileMediaClips().empty());
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QCOMPARE(controllerTemplate.mediaPath(3, MediaType_Video), QString());
    }

    void generalShowIsAnalysed()
    {
        General general;
        general.names = {"clip01.bin", "clip02.bin"};
        const QString path = write(QStringLiteral("analysed.show"), general.bytes());
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(path);

        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{2, 5, 1}));
        QCOMPARE(controllerTemplate.showDeviceType(), 9);
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);
        QCOMPARE(controllerTemplate.showReadTime(), QFileInfo(path).lastModified());
        QCOMPARE(controllerTemplate.fileMediaClips().size(), size_t(2));
        QVERIFY(!controllerTemplate.showFileModified());
    }

    void deviceTypeMustSuitTheTemplate_data()
    {
        QTest::addColumn<int>("showType");
        QTest::addColumn<int>("templateType");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same") << 4 << 4 << true;
        QTest::newRow("equivalent") << 10 << 9 << true;
        QTest::newRow("NX1 show on VQ2") << 1 << 6 << true;
        QTest::newRow("VQ1 show on NX2") << 5 << 2 << true;
        QTest::newRow("NX2 show on NX1") << 2 << 1 << false;
        QTest::newRow("NX1 show on NX X") << 1 << 4 << false;
        QTest::newRow("TRM show on TRZ") << 11 << 12 << true;
        QTest::newRow("unknown show") << 0 << 9 << false;
    }
    void deviceTypeMustSuitTheTemplate()
    {
        QFETCH(int, showType);
        QFETCH(int, templateType);
        QFETCH(bool, accepted);
        General general;
        general.deviceType = quint16(showType);
        general.names = {"clip01.bin"};
        const ControllerTemplate controllerTemplate = analysedGeneral(templateType, general);

        QCOMPARE(controllerTemplate.isDeviceTypeAccepted(), accepted);
        QCOMPARE(controllerTemplate.showDeviceType(), showType);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{2, 5, 1}));
        if (accepted) {
            QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
            QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);
            QCOMPARE(controllerTemplate.fileMediaClips().size(), size_t(1));
        } else {
            // Nothing after the device type is taken from a show it cannot load.
            QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_WrongDevice);
            QCOMPARE(controllerTemplate.loadResultText(),
                     QStringLiteral("The specified device cannot load this file"));
            QVERIFY(controllerTemplate.showProjectUuid().isNull());
            QVERIFY(controllerTemplate.fileMediaClips().empty());
        }
    }

    void version305KeepsThePreviousProject()
    {
        ControllerTemplate controllerTemplate = analysedGeneral(9, General());
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);

        General older;
        older.version = 305;
        older.firmware = {1, 2, 3};
        older.deviceType = 10;
        controllerTemplate.setShowFile(write(QStringLiteral("v305.show"), older.bytes()));
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{1, 2, 3}));
        QCOMPARE(controllerTemplate.showDeviceType(), 10);
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);
        QVERIFY(controllerTemplate.fileMediaClips().empty());
    }

    void unreadableShowsKeepTheResetValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("loadResult");
        General wrong;
        wrong.signature = 0x1234;
        General cut;
        cut.names = {"clip01.bin"};
        QTest::newRow("missing") << QByteArray() << false << int(FileLoadResult_NoError);
        QTest::newRow("wrong signature")
            << wrong.bytes() << true << int(FileLoadResult_NotRecognised);
        QTest::newRow("truncated")
            << cut.bytes().chopped(3) << true << int(FileLoadResult_NotRecognised);
    }
    void unreadableShowsKeepTheResetValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        QFETCH(int, loadResult);
        ControllerTemplate controllerTemplate = analysedGeneral(9, General());
        QString path = m_dir.filePath(QStringLiteral("nowhere.show"));
        if (exists)
            path = write(QStringLiteral("unreadable.show"), bytes);
        controllerTemplate.setShowFile(path);

        QCOMPARE(int(controllerTemplate.loadResult()), loadResult);
        QCOMPARE(controllerTemplate.minimumFirmware(), FirmwareVersion());
        QCOMPARE(controllerTemplate.showDeviceType(), 0);
        QCOMPARE(controllerTemplate.showReadTime().isValid(), exists);
        QVERIFY(controllerTemplate.fileMediaClips().empty());
        // The project identity is not forgotten by a failed analysis.
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);
    }

    void slotsAreFoundInTheMediaFolder()
    {
        General general;
        general.names = {"clip01.bin", "clip02.bin"};
        ControllerTemplate controllerTemplate;
        controllerTemplate.setMediaPath(-1, MediaType_Folder, QStringLiteral("/media/frames"));
        controllerTemplate.setMediaPath(5, MediaType_Slot, QStringLiteral("/stale/clip.bin"));
        controllerTemplate.setShowFile(write(QStringLiteral("folder.show"), general.bytes()));

        const MediaPaths expected = {
            {{-1, MediaType_Folder}, QStringLiteral("/media/frames")},
            {{0, MediaType_Slot}, QStringLiteral("/media/frames/clip01.bin")},
            {{1, MediaType_Slot}, QStringLiteral("/media/frames/clip02.bin")},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), expected);

        // Without clips there is nothing to find, and the folder goes too.
        General noClips;
        noClips.version = 306;
        controllerTemplate.setShowFile(write(QStringLiteral("no_clips.show"), noClips.bytes()));
        QVERIFY(controllerTemplate.mediaPaths().empty());
    }

    void aShowWithoutProjectHasNoMedia()
    {
        General general;
        general.version = 300;
        ControllerTemplate controllerTemplate;
        controllerTemplate.setMediaPath(-1, MediaType_Folder, QStringLiteral("/media/frames"));
        controllerTemplate.setShowFile(write(QStringLiteral("no_project.show"), general.bytes()));
        QVERIFY(controllerTemplate.showProjectUuid().isNull());
        QVERIFY(controllerTemplate.mediaPaths().empty());
    }

    void kmaShowsRecordTheirMediaPaths()
    {
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(3);
        controllerTemplate.setShowFile(write(QStringLiteral("a.kma"), kmaShow(uuidA).bytes()));

        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{3, 1, 4}));
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidA);
        const MediaPaths recorded = {
            {{1, MediaType_Video}, QStringLiteral("C:/show/intro.mpg")},
            {{1, MediaType_Audio}, QStringLiteral("C:/show/intro.wav")},
            {{2, MediaType_Video}, QStringLiteral("C:/show/finale.mpg")},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), recorded);
    }

    // Saving the same project again keeps the operator's choices (and drops
    // those of clips the show no longer has); another project replaces them.
    void kmaKeepsChosenPathsForTheSameProject()
    {
        const QString path = write(QStringLiteral("keep.kma"), kmaShow(uuidA).bytes());
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(7);
        controllerTemplate.setShowFile(path);
        controllerTemplate.setMediaPath(1, MediaType_Video, QStringLiteral("/mine/intro.mpg"));
        controllerTemplate.setMediaPath(2, MediaType_Video, QStringLiteral("/mine/finale.mpg"));

        Kma saved = kmaShow(uuidA);
        saved.clips[1].videoPath.clear(); // the finale lost its video
        saved.clips.append({4, "Encore", "C:/show/encore.mpg", "encore.vid", "", ""});
        write(QStringLiteral("keep.kma"), saved.bytes());
        controllerTemplate.analyseShowFile();
        const MediaPaths kept = {
            {{1, MediaType_Video}, QStringLiteral("/mine/intro.mpg")},
            {{1, MediaType_Audio}, QStringLiteral("C:/show/intro.wav")},
            {{4, MediaType_Video}, QStringLiteral("C:/show/encore.mpg")},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), kept);

        write(QStringLiteral("keep.kma"), kmaShow(uuidB).bytes());
        controllerTemplate.analyseShowFile();
        QCOMPARE(controllerTemplate.showProjectUuid(), expectedUuidB);
        QCOMPARE(controllerTemplate.mediaPath(1, MediaType_Video),
                 QStringLiteral("C:/show/intro.mpg"));
        QCOMPARE(controllerTemplate.mediaPath(2, MediaType_Video),
                 QStringLiteral("C:/show/finale.mpg"));
        QCOMPARE(controllerTemplate.mediaPaths().size(), size_t(3));
    }

    void kmaBeforeVersion28GivesOnlyTheReadTime()
    {
        Kma old = kmaShow(uuidB);
        old.version = 27;
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(3);
        controllerTemplate.setShowFile(write(QStringLiteral("old.kma"), old.bytes()));
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QVERIFY(controllerTemplate.showReadTime().isValid());
        QCOMPARE(controllerTemplate.minimumFirmware(), FirmwareVersion());
        QVERIFY(controllerTemplate.showProjectUuid().isNull());
        QVERIFY(controllerTemplate.fileMediaClips().empty());
    }

    void theHardwareTypeChoosesTheFormat()
    {
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(write(QStringLiteral("kind.kma"), kmaShow(uuidA).bytes()));
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NotRecognised);

        controllerTemplate.setHardwareType(3); // analyses again
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QCOMPARE(controllerTemplate.fileMediaClips().size(), size_t(2));

        controllerTemplate.setHardwareType(0); // a type without a format reads nothing
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);
        QVERIFY(controllerTemplate.showReadTime().isNull());
        QVERIFY(controllerTemplate.fileMediaClips().empty());
    }

    void onlyAChangedPathOrTypeAnalysesAgain()
    {
        const QString path = write(QStringLiteral("again.show"), General().bytes());
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(path);
        General changed;
        changed.firmware = {9, 9, 9};
        write(QStringLiteral("again.show"), changed.bytes());

        controllerTemplate.setShowFile(path);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{2, 5, 1}));
        controllerTemplate.setHardwareType(10);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{9, 9, 9}));

        ControllerTemplate withoutShow;
        withoutShow.setHardwareType(3);
        QVERIFY(withoutShow.showReadTime().isNull());
    }

    void laterSavesAreNoticed()
    {
        const QString path = write(QStringLiteral("modified.show"), General().bytes());
        const QDateTime earlier = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(setModified(path, earlier));
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(path);
        QVERIFY(!controllerTemplate.showFileModified());

        QVERIFY(setModified(path, earlier.addSecs(-60))); // only a later time counts
        QVERIFY(!controllerTemplate.showFileModified());
        QVERIFY(setModified(path, earlier.addSecs(60)));
        QVERIFY(controllerTemplate.showFileModified());
        controllerTemplate.analyseShowFile();
        QVERIFY(!controllerTemplate.showFileModified());

        QVERIFY(QFile::remove(path));
        QVERIFY(!controllerTemplate.showFileModified());
    }

    void projectMatchesTheShowsProject()
    {
        ControllerTemplate controllerTemplate;
        QVERIFY(controllerTemplate.projectMatches(expectedUuidB)); // nothing known yet
        controllerTemplate.setShowProjectUuid(expectedUuidA);
        QVERIFY(controllerTemplate.projectMatches(expectedUuidA));
        QVERIFY(!controllerTemplate.projectMatches(expectedUuidB));
        QVERIFY(!controllerTemplate.projectMatches(QUuid()));
    }
};

RW_TEST_MAIN(TestControllerTemplate)
#include "tst_controller_template.moc"
