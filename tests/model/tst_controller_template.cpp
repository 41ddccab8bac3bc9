#include "controller_template.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using namespace ShowFileBytes;

namespace {

Kma kmaShow(const UuidParts &uuid)
{
    Kma kma;
    kma.uuid = uuid;
    kma.clips = {{1, "Intro", "C:/intro.mpg", "intro.vid", "C:/intro.wav", "intro.aud"},
                 {2, "Finale", "C:/finale.mpg", "finale.vid", "", ""}};
    return kma;
}

} // namespace

class TestControllerTemplate : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes, const QString &name = u"show"_s)
    {
        const QString path = m_dir.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void deviceTypeMustSuitTheTemplate_data()
    {
        QTest::addColumn<int>("showType");
        QTest::addColumn<int>("templateType");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same") << 4 << 4 << true;
        QTest::newRow("equivalent") << 10 << 9 << true;
        QTest::newRow("NX1 show on VQ2") << 1 << 6 << true;
        QTest::newRow("NX2 show on NX1") << 2 << 1 << false;
    }
    void deviceTypeMustSuitTheTemplate()
    {
        QFETCH(int, showType);
        QFETCH(int, templateType);
        QFETCH(bool, accepted);
        General general;
        general.deviceType = quint16(showType);
        general.names = {"clip01.bin"};
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(templateType);
        controllerTemplate.setShowFile(write(general.bytes()));

        QCOMPARE(controllerTemplate.isDeviceTypeAccepted(), accepted);
        QCOMPARE(controllerTemplate.minimumFirmware(), (FirmwareVersion{2, 5, 1}));
        QCOMPARE(controllerTemplate.loadResultText(),
                 accepted ? u"No error"_s : u"The specified device cannot load this file"_s);
        // Nothing after the device type is taken from a show it cannot load.
        QCOMPARE(controllerTemplate.showProjectUuid(), accepted ? uuidTextA : QUuid());
        QCOMPARE(controllerTemplate.fileMediaClips().size(), size_t(accepted ? 1 : 0));
        // Without a known project any launched one is taken as the right one.
        QCOMPARE(controllerTemplate.projectMatches(uuidTextB), !accepted);
    }

    // An analysis that cannot read the project keeps the one known before.
    void failedOrOlderAnalysesKeepTheProject_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("loadResult");
        QTest::addColumn<bool>("read");
        General v305;
        v305.version = 305;
        v305.firmware = 0x010203;
        General wrong;
        wrong.signature = 0x1234;
        General cut;
        cut.names = {"clip01.bin"};
        QTest::newRow("version 305") << v305.bytes() << int(FileLoadResult_NoError) << true;
        QTest::newRow("missing") << QByteArray() << int(FileLoadResult_NoError) << false;
        QTest::newRow("wrong signature")
            << wrong.bytes() << int(FileLoadResult_NotRecognised) << false;
        QTest::newRow("truncated")
            << cut.bytes().chopped(3) << int(FileLoadResult_NotRecognised) << false;
    }
    void failedOrOlderAnalysesKeepTheProject()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, loadResult);
        QFETCH(bool, read);
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(write(General().bytes(), u"first"_s));
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QString path = m_dir.filePath(name);
        if (!bytes.isEmpty())
            write(bytes, name);
        controllerTemplate.setShowFile(path);

        QCOMPARE(int(controllerTemplate.loadResult()), loadResult);
        QCOMPARE(controllerTemplate.showProjectUuid(), uuidTextA);
        QCOMPARE(controllerTemplate.minimumFirmware(),
                 read ? (FirmwareVersion{1, 2, 3}) : FirmwareVersion());
        QCOMPARE(controllerTemplate.showDeviceType(), read ? 9 : 0);
        QCOMPARE(controllerTemplate.showReadTime(), QFileInfo(path).lastModified());
        QVERIFY(controllerTemplate.fileMediaClips().empty());
    }

    void slotsAreFoundInTheMediaFolder()
    {
        General general;
        general.names = {"clip01.bin", "clip02.bin"};
        ControllerTemplate controllerTemplate;
        controllerTemplate.setMediaPath(-1, MediaType_Folder, u"/media/frames"_s);
        controllerTemplate.setMediaPath(5, MediaType_Slot, u"/stale/clip.bin"_s);
        controllerTemplate.setShowFile(write(general.bytes()));
        const MediaPaths expected = {
            {{-1, MediaType_Folder}, u"/media/frames"_s},
            {{0, MediaType_Slot}, u"/media/frames/clip01.bin"_s},
            {{1, MediaType_Slot}, u"/media/frames/clip02.bin"_s},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), expected);

        // A show without a project has no media.
        general.version = 300;
        controllerTemplate.setShowFile(write(general.bytes(), u"v300"_s));
        QVERIFY(controllerTemplate.mediaPaths().empty());
    }

    // Saving the same project again keeps the operator's choices (dropping
    // those of clips the show no longer has); another project replaces them.
    void kmaKeepsChosenPathsForTheSameProject()
    {
        ControllerTemplate controllerTemplate;
        controllerTemplate.setHardwareType(7);
        controllerTemplate.setShowFile(write(kmaShow(uuidA).bytes()));
        const MediaPaths recorded = {
            {{1, MediaType_Video}, u"C:/intro.mpg"_s},
            {{1, MediaType_Audio}, u"C:/intro.wav"_s},
            {{2, MediaType_Video}, u"C:/finale.mpg"_s},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), recorded);
        // A controller's copy shares the lists but keeps them as they were.
        const ControllerTemplate copy = controllerTemplate;
        controllerTemplate.setMediaPath(1, MediaType_Video, u"/mine/intro.mpg"_s);
        controllerTemplate.setMediaPath(2, MediaType_Video, u"/mine/finale.mpg"_s);
        QCOMPARE(copy.mediaPaths(), recorded);
        QVERIFY(!(copy == controllerTemplate));

        Kma saved = kmaShow(uuidA);
        saved.clips[1].videoPath.clear();
        saved.clips.append({4, "Encore", "C:/encore.mpg", "encore.vid", "", ""});
        write(saved.bytes());
        controllerTemplate.analyseShowFile();
        const MediaPaths kept = {
            {{1, MediaType_Video}, u"/mine/intro.mpg"_s},
            {{1, MediaType_Audio}, u"C:/intro.wav"_s},
            {{4, MediaType_Video}, u"C:/encore.mpg"_s},
        };
        QCOMPARE(controllerTemplate.mediaPaths(), kept);
        QCOMPARE(copy.fileMediaClips().size(), 2u);

        write(kmaShow(uuidB).bytes());
        controllerTemplate.analyseShowFile();
        QCOMPARE(controllerTemplate.showProjectUuid(), uuidTextB);
        QCOMPARE(controllerTemplate.mediaPaths(), recorded);
    }

    // Only a changed path or type analyses again; of the show file's saves,
    // only one later than the one read counts.
    void analysesAgainOnlyWhenSomethingChanged()
    {
        const QString path = write(kmaShow(uuidA).bytes());
        ControllerTemplate controllerTemplate;
        controllerTemplate.setShowFile(path);
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NotRecognised);
        write(General().bytes());
        QVERIFY(touch(path, -3600));
        controllerTemplate.setShowFile(path); // the same path: not read again
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NotRecognised);
        controllerTemplate.setHardwareType(10);
        QCOMPARE(controllerTemplate.loadResult(), FileLoadResult_NoError);

        QVERIFY(touch(path, -3700));
        QVERIFY(!controllerTemplate.showFileModified());
        QVERIFY(touch(path, -3500));
        QVERIFY(controllerTemplate.showFileModified());
        controllerTemplate.analyseShowFile();
        QVERIFY(!controllerTemplate.showFileModified());
        QVERIFY(QFile::remove(path));
        QVERIFY(!controllerTemplate.showFileModified());
        controllerTemplate.setHardwareType(0); // no format: nothing read
        QVERIFY(controllerTemplate.showReadTime().isNull());
    }
};

RW_TEST_MAIN(TestControllerTemplate)
#include "tst_controller_template.moc"
