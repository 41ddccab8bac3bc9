#include "show_file_bytes.h"
#include "show_file_reader.h"
#include "test_main.h"

#include <QBuffer>

using namespace ShowFileBytes;

Q_DECLARE_METATYPE(ShowFileInfo::Status)

namespace {

const QUuid expectedUuidA(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}"));

ShowFileInfo readGeneral(const QByteArray &bytes)
{
    return ShowFileReader::read(bytes, ShowFileReader::Format_General);
}

ShowFileInfo readKma(const QByteArray &bytes)
{
    return ShowFileReader::read(bytes, ShowFileReader::Format_Kma);
}

Kma kmaWithTwoClips()
{
    Kma kma;
    kma.clips = {
        {7, "Intro \xc3\xbc", "C:/show/intro.mpg", "intro.vid", "C:/show/intro.wav", "intro.aud"},
        {-3, "Silent", "C:/show/silent.mpg", "silent.vid", "", ""},
    };
    return kma;
}

} // namespace

class TestShowFileReader : public QObject
{
    Q_OBJECT

private slots:
    void formatFollowsTheHardwareType_data()
    {
        QTest::addColumn<int>("hardwareType");
        QTest::addColumn<int>("format");
        QTest::newRow("unknown") << 0 << int(ShowFileReader::Format_None);
        QTest::newRow("NX1") << 1 << int(ShowFileReader::Format_General);
        QTest::newRow("KMA 3") << 3 << int(ShowFileReader::Format_Kma);
        QTest::newRow("KMA 7") << 7 << int(ShowFileReader::Format_Kma);
        QTest::newRow("TRZ") << 12 << int(ShowFileReader::Format_General);
        QTest::newRow("beyond") << 13 << int(ShowFileReader::Format_None);
        QTest::newRow("negative") << -1 << int(ShowFileReader::Format_None);
    }
    void formatFollowsTheHardwareType()
    {
        QFETCH(int, hardwareType);
        QFETCH(int, format);
        QCOMPARE(int(ShowFileReader::formatFor(hardwareType)), format);
    }

    void generalFieldsAppearWithTheirVersion_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("hasDeviceType");
        QTest::addColumn<bool>("hasUuid");
        QTest::addColumn<int>("clipCount");
        QTest::newRow("299") << 299 << false << false << 0;
        QTest::newRow("300") << 300 << true << false << 0;
        QTest::newRow("305") << 305 << true << false << 0;
        QTest::newRow("306") << 306 << true << true << 0;
        QTest::newRow("314") << 314 << true << true << 0;
        QTest::newRow("315") << 315 << true << true << 2;
    }
    void generalFieldsAppearWithTheirVersion()
    {
        QFETCH(int, version);
        QFETCH(bool, hasDeviceType);
        QFETCH(bool, hasUuid);
        QFETCH(int, clipCount);
        General general;
        general.version = quint16(version);
        general.deviceType = 0x0102;
        general.names = {"clip01.bin", "clip02.bin"};
        const ShowFileInfo info = readGeneral(general.bytes());

        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(info.version, quint32(version));
        QCOMPARE(info.minimumFirmware, (FirmwareVersion{2, 5, 1}));
        QCOMPARE(info.deviceType.has_value(), hasDeviceType);
        if (hasDeviceType)
            QCOMPARE(*info.deviceType, 0x0102);
        QCOMPARE(info.projectUuid.has_value(), hasUuid);
        if (hasUuid)
            QCOMPARE(*info.projectUuid, expectedUuidA);
        QCOMPARE(int(info.clips.size()), clipCount);
    }

    void generalClipsAreNumberedSlots()
    {
        General general;
        general.names = {"clip01.bin", "clip02.bin", "clip03.bin"};
        const ShowFileInfo info = readGeneral(general.bytes());
        QCOMPARE(info.clips.size(), size_t(3));
        for (int index = 0; index < 3; ++index) {
            const MediaClip &clip = info.clips.at(index);
            QCOMPARE(clip.name(), QStringLiteral("Slot %1").arg(index + 1));
            QCOMPARE(clip.files().size(), size_t(1));
            QVERIFY(clip.hasFile(MediaType_Slot));
            QVERIFY(clip.file(MediaType_Slot).path().isEmpty());
            QCOMPARE(clip.file(MediaType_Slot).remoteName(), general.names[index]);
        }
    }

    void generalSignatureIsChecked_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        General wrongMarker;
        wrongMarker.marker = 0xFF34;
        General wrongSignature;
        wrongSignature.signature = 0x5679;
        General wrongRepeat;
        wrongRepeat.repeatedMarker = 0x33FF;
        QTest::newRow("first marker") << wrongMarker.bytes();
        QTest::newRow("signature") << wrongSignature.bytes();
        QTest::newRow("repeated marker") << wrongRepeat.bytes();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("KMA file") << kmaWithTwoClips().bytes();
        QTest::newRow("short") << General().bytes().left(7);
    }
    void generalSignatureIsChecked()
    {
        QFETCH(QByteArray, bytes);
        const ShowFileInfo info = readGeneral(bytes);
        QCOMPARE(info.status, ShowFileInfo::Status_WrongSignature);
        QVERIFY(!info.deviceType);
        QVERIFY(!info.projectUuid);
        QVERIFY(info.clips.empty());
    }

    void kmaFieldsAreLittleEndian()
    {
        const ShowFileInfo info = readKma(kmaWithTwoClips().bytes());
        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(info.version, 28u);
        QCOMPARE(info.minimumFirmware, (FirmwareVersion{3, 1, 4}));
        QVERIFY(!info.deviceType);
        QCOMPARE(info.projectUuid.value_or(QUuid()), expectedUuidA);
        QCOMPARE(info.clips.size(), size_t(2));

        const MediaClip &intro = info.clips.at(7);
        QCOMPARE(intro.name(), QStringLiteral("Intro \u00fc"));
        QCOMPARE(intro.file(MediaType_Video),
                 ClipFile(QStringLiteral("C:/show/intro.mpg"), "intro.vid"));
        QCOMPARE(intro.file(MediaType_Audio),
                 ClipFile(QStringLiteral("C:/show/intro.wav"), "intro.aud"));

        // A clip without an audio path has no audio file.
        const MediaClip &silent = info.clips.at(-3);
        QVERIFY(silent.hasFile(MediaType_Video));
        QVERIFY(!silent.hasFile(MediaType_Audio));
    }

    void kmaBeforeVersion28HoldsOnlyItsVersion()
    {
        Kma kma = kmaWithTwoClips();
        kma.version = 27;
        QByteArray bytes = kma.bytes();
        bytes.append(QByteArray(200, '\x01')); // whatever follows is not read
        const ShowFileInfo info = readKma(bytes);
        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(info.version, 27u);
        QCOMPARE(info.minimumFirmware, FirmwareVersion());
        QVERIFY(!info.projectUuid);
        QVERIFY(info.clips.empty());
    }

    void kmaSignatureIsChecked()
    {
        Kma kma;
        kma.signature = 0xFF0081A5; // the signature's bytes in big-endian order
        QCOMPARE(readKma(kma.bytes()).status, ShowFileInfo::Status_WrongSignature);
        QCOMPARE(readKma(QByteArray("\xff\x00\x81", 3)).status,
                 ShowFileInfo::Status_WrongSignature);
        QCOMPARE(readKma(General().bytes()).status, ShowFileInfo::Status_WrongSignature);
    }

    // A name longer than the controller's 16-byte field keeps its first 16
    // bytes, and the field after it is still read from the right place.
    void longRemoteNamesAreCutAndSkipped()
    {
        const QByteArray longName = "a_remote_name_of_30_bytes.bin!";
        QCOMPARE(longName.size(), 30);

        General general;
        general.names = {longName, "next.bin"};
        const ShowFileInfo generalInfo = readGeneral(general.bytes());
        QCOMPARE(generalInfo.status, ShowFileInfo::Status_Ok);
        QCOMPARE(generalInfo.clips.at(0).file(MediaType_Slot).remoteName(), longName.left(16));
        QCOMPARE(generalInfo.clips.at(1).file(MediaType_Slot).remoteName(), QByteArray("next.bin"));

        Kma kma;
        kma.clips = {{1, "one", "v1.mpg", longName, "a1.wav", longName},
                     {2, "two", "v2.mpg", "v2.vid", "a2.wav", "a2.aud"}};
        const ShowFileInfo kmaInfo = readKma(kma.bytes());
        QCOMPARE(kmaInfo.status, ShowFileInfo::Status_Ok);
        QCOMPARE(kmaInfo.clips.at(1).file(MediaType_Video).remoteName(), longName.left(16));
        QCOMPARE(kmaInfo.clips.at(1).file(MediaType_Audio).path(), QStringLiteral("a1.wav"));
        QCOMPARE(kmaInfo.clips.at(1).file(MediaType_Audio).remoteName(), longName.left(16));
        QCOMPARE(kmaInfo.clips.at(2).name(), QStringLiteral("two"));
        QCOMPARE(kmaInfo.clips.at(2).file(MediaType_Audio).remoteName(), QByteArray("a2.aud"));
    }

    void remoteNamesEndAtTheirFirstZeroByte()
    {
        General general;
        general.names = {QByteArray("short\0padding", 13)};
        const ShowFileInfo info = readGeneral(general.bytes());
        QCOMPARE(info.clips.at(0).file(MediaType_Slot).remoteName(), QByteArray("short"));
    }

    // Every cut of a valid header is either refused as unrecognised or as
    // damaged; none reads past the data (the sanitizer build checks).
    void truncatedHeadersAreDamaged_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("signatureSize");
        General general;
        general.names = {"clip01.bin", "a_name_longer_than_16.bin"};
        QTest::newRow("general") << int(ShowFileReader::Format_General) << general.bytes() << 8;
        QTest::newRow("KMA") << int(ShowFileReader::Format_Kma) << kmaWithTwoClips().bytes() << 4;
    }
    void truncatedHeadersAreDamaged()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(int, signatureSize);
        for (int size = 0; size < bytes.size(); ++size) {
            const ShowFileInfo info =
                ShowFileReader::read(bytes.left(size), ShowFileReader::Format(format));
            const ShowFileInfo::Status expected = size < signatureSize
                                                      ? ShowFileInfo::Status_WrongSignature
                                                      : ShowFileInfo::Status_Damaged;
            QVERIFY2(info.status == expected, qPrintable(QString::number(size)));
            QVERIFY(info.clips.empty());
            QVERIFY(!info.projectUuid);
        }
        QCOMPARE(ShowFileReader::read(bytes, ShowFileReader::Format(format)).status,
                 ShowFileInfo::Status_Ok);
    }

    void countsBeyondTheDataAreRefused_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        General manyGeneral;
        manyGeneral.names = {"one.bin"};
        manyGeneral.clipCount = 65535;
        Kma manyKma = kmaWithTwoClips();
        manyKma.clipCount = 0xFFFFFFFF;
        Kma tooManyKma;
        tooManyKma.clipCount = ShowFileReader::MaxClipCount + 1;
        QByteArray longName = General().bytes();
        longName.chop(2); // the clip count
        ShowFileBytes::be16(longName, 1);
        ShowFileBytes::be16(longName, 65535);
        longName.append("only a few bytes");
        QByteArray longText = Kma().bytes();
        longText.chop(4); // the clip count
        ShowFileBytes::le32(longText, 1);
        ShowFileBytes::le32(longText, 1);
        ShowFileBytes::le16(longText, 65535);
        longText.append("only a few bytes");

        QTest::newRow("general clip count")
            << int(ShowFileReader::Format_General) << manyGeneral.bytes();
        QTest::newRow("general name length") << int(ShowFileReader::Format_General) << longName;
        QTest::newRow("KMA clip count") << int(ShowFileReader::Format_Kma) << manyKma.bytes();
        QTest::newRow("KMA clip count beyond any show")
            << int(ShowFileReader::Format_Kma) << tooManyKma.bytes();
        QTest::newRow("KMA text length") << int(ShowFileReader::Format_Kma) << longText;
    }
    void countsBeyondTheDataAreRefused()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        const ShowFileInfo info = ShowFileReader::read(bytes, ShowFileReader::Format(format));
        QCOMPARE(info.status, ShowFileInfo::Status_Damaged);
        QVERIFY(info.clips.empty());
    }

    // Texts are kept whole, so a KMA header may not hold more text than any
    // real show needs, however large the file.
    void kmaTextIsBounded()
    {
        const QByteArray longText(65535, 'x');
        Kma kma;
        const int clipsBeyondTheBudget = int(ShowFileReader::MaxTextBytes / (3 * 65535)) + 1;
        for (int number = 0; number < clipsBeyondTheBudget; ++number)
            kma.clips.append({number, longText, longText, "v.vid", longText, "a.aud"});
        QCOMPARE(readKma(kma.bytes()).status, ShowFileInfo::Status_Damaged);

        kma.clips.removeLast();
        QCOMPARE(readKma(kma.bytes()).status, ShowFileInfo::Status_Ok);
    }

    void readsFromAnyDeviceAndStopsAfterTheHeader()
    {
        General general;
        general.names = {"clip01.bin"};
        QByteArray bytes = general.bytes();
        const qint64 headerSize = bytes.size();
        bytes.append(QByteArray(1000, '\x7f'));
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const ShowFileInfo info = ShowFileReader::read(buffer, ShowFileReader::Format_General);
        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(buffer.pos(), headerSize);
    }

    void noFormatReadsNothing()
    {
        const ShowFileInfo info =
            ShowFileReader::read(General().bytes(), ShowFileReader::Format_None);
        QVERIFY(info.status != ShowFileInfo::Status_Ok);
    }
};

RW_TEST_MAIN(TestShowFileReader)
#include "tst_show_file_reader.moc"
