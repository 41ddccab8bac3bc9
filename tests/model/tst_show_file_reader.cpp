#include "show_file_bytes.h"
#include "show_file_reader.h"
#include "test_main.h"

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace ShowFileBytes;

namespace {

const QByteArray longName = "a_remote_name_of_30_bytes.bin!";
constexpr int asGeneral = ShowFileReader::Format_General;
constexpr int asKma = ShowFileReader::Format_Kma;

ShowFileInfo read(const QByteArray &bytes, int format)
{
    return ShowFileReader::read(bytes, ShowFileReader::Format(format));
}

Kma twoKmaClips()
{
    Kma kma;
    kma.clips = {{7, "Intro \xc3\xbc", "C:/intro.mpg", longName, "C:/intro.wav", "intro.aud"},
                 {-3, "Silent", "C:/silent.mpg", QByteArray("silent\0pad", 10), "", ""}};
    return kma;
}

} // namespace

class TestShowFileReader : public QObject
{
    Q_OBJECT

private slots:
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
        if (version >= 315)
            general.names = {longName, "next.bin"};
        const ShowFileInfo info = read(general.bytes(), asGeneral);

        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(info.minimumFirmware, (FirmwareVersion{2, 5, 1}));
        QCOMPARE(info.deviceType, hasDeviceType ? std::optional(0x0102) : std::nullopt);
        QCOMPARE(info.projectUuid, hasUuid ? std::optional(uuidTextA) : std::nullopt);
        QCOMPARE(int(info.clips.size()), clipCount);
        if (clipCount == 0)
            return;
        // A name longer than the controller's 16-byte field keeps its first
        // 16 bytes, and the next name is still read from the right place.
        QCOMPARE(info.clips.at(0).name(), u"Slot 1"_s);
        QCOMPARE(info.clips.at(0).file(MediaType_Slot), ClipFile(QString(), longName.left(16)));
        QCOMPARE(info.clips.at(1).name(), u"Slot 2"_s);
        QCOMPARE(info.clips.at(1).file(MediaType_Slot).remoteName(), QByteArray("next.bin"));
    }

    void kmaFieldsAreLittleEndian()
    {
        const ShowFileInfo info = read(twoKmaClips().bytes(), asKma);
        QCOMPARE(info.status, ShowFileInfo::Status_Ok);
        QCOMPARE(info.minimumFirmware, (FirmwareVersion{3, 1, 4}));
        QCOMPARE(info.projectUuid, std::optional(uuidTextA));
        const MediaClip &intro = info.clips.at(7);
        QCOMPARE(intro.name(), u"Intro \u00fc"_s);
        // The rest of a long name is skipped: the audio path after it is whole.
        QCOMPARE(intro.file(MediaType_Video), ClipFile(u"C:/intro.mpg"_s, longName.left(16)));
        QCOMPARE(intro.file(MediaType_Audio), ClipFile(u"C:/intro.wav"_s, "intro.aud"));
        // A name ends at its first zero byte; no audio path, no audio file.
        const MediaClip &silent = info.clips.at(-3);
        QCOMPARE(silent.file(MediaType_Video).remoteName(), QByteArray("silent"));
        QVERIFY(!silent.hasFile(MediaType_Audio));

        Kma old = twoKmaClips();
        old.version = 27;
        const ShowFileInfo oldInfo = read(old.bytes() + QByteArray(100, 1), asKma);
        QCOMPARE(oldInfo.status, ShowFileInfo::Status_Ok);
        QCOMPARE(oldInfo.minimumFirmware, FirmwareVersion());
        QVERIFY(!oldInfo.projectUuid && oldInfo.clips.empty());
    }

    // Foreign files are not recognised; counts beyond the data or beyond any
    // real show mark the header damaged, before anything of that size is
    // allocated (lengths beyond the data: every cut below; huge ones on any
    // path: the fuzz target's memory limit). Every cut of a valid header is
    // refused whole; none reads past the data (the sanitizer build checks).
    void refused_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        const int foreign = ShowFileInfo::Status_WrongSignature;
        const int damaged = ShowFileInfo::Status_Damaged;
        General wrongSignature;
        wrongSignature.signature = 0x5679;
        General wrongRepeat;
        wrongRepeat.repeatedMarker = 0x33FF;
        QByteArray bigEndianKma = twoKmaClips().bytes();
        std::reverse(bigEndianKma.begin(), bigEndianKma.begin() + 4);
        QTest::newRow("signature") << asGeneral << wrongSignature.bytes() << foreign;
        QTest::newRow("repeated marker") << asGeneral << wrongRepeat.bytes() << foreign;
        QTest::newRow("KMA as general") << asGeneral << twoKmaClips().bytes() << foreign;
        QTest::newRow("general as KMA") << asKma << General().bytes() << foreign;
        QTest::newRow("KMA big-endian") << asKma << bigEndianKma << foreign;

        Kma manyKma = twoKmaClips();
        manyKma.clipCount = 0xFFFFFFFF;
        Kma beyondAnyShow;
        beyondAnyShow.clipCount = ShowFileReader::MaxClipCount + 1;
        QTest::newRow("KMA clips") << asKma << manyKma.bytes() << damaged;
        QTest::newRow("KMA clips beyond any show") << asKma << beyondAnyShow.bytes() << damaged;

        General general;
        general.names = {"clip01.bin", longName};
        for (const auto &[format, whole, signatureSize] :
             {std::tuple{asGeneral, general.bytes(), 8}, {asKma, twoKmaClips().bytes(), 4}}) {
            for (int size = 0; size < whole.size(); ++size)
                QTest::addRow("%s cut to %d", format == asKma ? "KMA" : "general", size)
                    << format << whole.left(size) << (size < signatureSize ? foreign : damaged);
        }
    }
    void refused()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        const ShowFileInfo info = read(bytes, format);
        QCOMPARE(int(info.status), status);
        QVERIFY(info.clips.empty() && !info.projectUuid);
    }

    // Texts are kept whole, so a KMA header may hold no more text than any
    // real show needs, however large the file.
    void kmaTextIsBounded()
    {
        const QByteArray text(65535, 'x');
        Kma kma;
        for (int number = 0; number <= ShowFileReader::MaxTextBytes / (3 * text.size()); ++number)
            kma.clips.append({number, text, text, "v.vid", text, "a.aud"});
        QCOMPARE(read(kma.bytes(), asKma).status, ShowFileInfo::Status_Damaged);
        kma.clips.removeLast();
        QCOMPARE(read(kma.bytes(), asKma).status, ShowFileInfo::Status_Ok);
    }
};

RW_TEST_MAIN(TestShowFileReader)
#include "tst_show_file_reader.moc"
