#include "audio_conversion.h"
#include "chunk_file.h"
#include "media_maker.h"
#include "progress_tracker.h"
#include "test_main.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

constexpr quint32 AudioChunk = 0x80000101;

struct Converted
{
    int result = -1;
    QList<Chunk> chunks;
    QString error;
};

// Channels and rate from a Vorbis identification header.
QPair<int, quint32> channelsAndRate(const QByteArray &identification)
{
    return {uchar(identification.at(11)),
            qFromLittleEndian<quint32>(identification.constData() + 12)};
}

// The loudest sample of a file, in dB below full scale, by ffmpeg's reading.
// (Raw PCM has no header to tell ffmpeg its format: measure its WAV twin.)
double peakDb(const QString &path)
{
    const QString stats =
        MediaMaker::probe(QStringLiteral("frame_tags=lavfi.astats.Overall.Peak_level"),
                          QStringLiteral("amovie=%1,astats=metadata=1:reset=0").arg(path),
                          {QStringLiteral("-f"), QStringLiteral("lavfi")});
    const QStringList values = stats.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return values.isEmpty() ? 0.0 : values.last().toDouble();
}

} // namespace

class TestAudioConversion : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    Converted convert(const QString &source, int quality = 4)
    {
        Converted converted;
        const QString output = source + QLatin1String(".chunks");
        converted.result = isRawPcmPath(source)
                               ? encodePcmAudio(source, output, quality, nullptr, true)
                               : encodeAudioFile(source, output, quality, nullptr, true);
        if (converted.result == 0)
            converted.chunks = ChunkFile::read(output, &converted.error);
        return converted;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void choosesThePcmPathByTheWholeSuffix_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("pcm");
        QTest::newRow("pcm") << QStringLiteral("a.pcm") << true;
        QTest::newRow("PCM") << QStringLiteral("a.PCM") << true;
        QTest::newRow("two suffixes") << QStringLiteral("a.pcm.bak") << false;
        QTest::newRow("dotted name") << QStringLiteral("take.2.pcm") << false;
        QTest::newRow("wav") << QStringLiteral("a.wav") << false;
    }
    void choosesThePcmPathByTheWholeSuffix()
    {
        QFETCH(QString, name);
        QFETCH(bool, pcm);
        QCOMPARE(isRawPcmPath(QStringLiteral("/some/folder.x/") + name), pcm);
    }

    // Every source comes out as 48 kHz stereo Vorbis of the source's length
    // and loudness: the header packets first, then the audio.
    void convertsSourcesToVorbisChunks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QStringList>("format");
        QTest::newRow("raw PCM, suffix in capitals")
            << QStringLiteral("tone.PCM") << 48000
            << QStringList{QStringLiteral("-f"), QStringLiteral("s16le")};
        QTest::newRow("WAV") << QStringLiteral("tone.wav") << 48000 << QStringList();
        QTest::newRow("WAV at 44.1 kHz") << QStringLiteral("tone44.wav") << 44100 << QStringList();
        QTest::newRow("MP3 at 44.1 kHz (planar float)")
            << QStringLiteral("tone.mp3") << 44100
            << QStringList{QStringLiteral("-c:a"), QStringLiteral("libmp3lame")};
        QTest::newRow("Ogg Vorbis")
            << QStringLiteral("tone.ogg") << 48000
            << QStringList{QStringLiteral("-c:a"), QStringLiteral("libvorbis")};
        QTest::newRow("FLAC at 32 kHz (32-bit)")
            << QStringLiteral("tone.flac") << 32000
            << QStringList{QStringLiteral("-sample_fmt"), QStringLiteral("s32")};
    }
    void convertsSourcesToVorbisChunks()
    {
        QFETCH(QString, name);
        QFETCH(int, rate);
        QFETCH(QStringList, format);
        const QString source = path(name);
        QVERIFY2(MediaMaker::makeTone(source, rate, 2, 1.0, format),
                 qPrintable(MediaMaker::lastError()));

        const Converted converted = convert(source);
        QCOMPARE(converted.result, 0);
        QVERIFY2(converted.error.isEmpty(), qPrintable(converted.error));
        QVERIFY(converted.chunks.size() > 4);
        for (const Chunk &chunk : converted.chunks)
            QCOMPARE(chunk.type, AudioChunk);
        QVERIFY(converted.chunks[0].packet().startsWith("\x01vorbis"));
        QVERIFY(converted.chunks[1].packet().startsWith("\x03vorbis"));
        QVERIFY(converted.chunks[2].packet().startsWith("\x05vorbis"));
        QCOMPARE(channelsAndRate(converted.chunks[0].packet()), (QPair<int, quint32>(2, 48000)));
        // One second of sound, at the new rate (MP3 adds its own padding).
        QVERIFY2(qAbs(qint64(converted.chunks.last().granule()) - 48000) < 1200,
                 qPrintable(QString::number(converted.chunks.last().granule())));

        const QString ogg = source + QLatin1String(".ogg");
        QVERIFY(ChunkFile::writeOgg(converted.chunks, ogg));
        const QString oggFormat =
            MediaMaker::probe(QStringLiteral("stream=sample_rate,channels"), ogg);
        QVERIFY2(oggFormat == QLatin1String("48000\n2"),
                 qPrintable(oggFormat + QLatin1Char(' ') + MediaMaker::lastError()));
        // As loud as the source: the samples were scaled rightly whatever their format.
        QString measured = source;
        if (isRawPcmPath(source)) {
            measured = source + QLatin1String(".wav");
            QVERIFY(MediaMaker::makeTone(measured, rate, 2, 1.0));
        }
        const double sourcePeak = peakDb(measured);
        const double peak = peakDb(ogg);
        QVERIFY2(sourcePeak < -10.0 && qAbs(peak - sourcePeak) < 1.0,
                 qPrintable(QStringLiteral("%1 dB from %2 dB").arg(peak).arg(sourcePeak)));
    }

    void refusesSourcesItCannotTake_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("result");
        QTest::newRow("missing") << QStringLiteral("missing.wav") << 1;
        QTest::newRow("missing PCM") << QStringLiteral("missing.pcm") << 1;
        QTest::newRow("mono") << QStringLiteral("mono.wav") << 1;
        QTest::newRow("six channels") << QStringLiteral("surround.wav") << 1;
        QTest::newRow("not audio") << QStringLiteral("words.mp3") << 1;
        QTest::newRow("no folder for the output") << QStringLiteral("nowhere") << 2;
    }
    void refusesSourcesItCannotTake()
    {
        QFETCH(QString, name);
        QFETCH(int, result);
        QString source = path(name);
        QString output = source + QLatin1String(".chunks");
        if (name == QLatin1String("mono.wav"))
            QVERIFY(MediaMaker::makeTone(source, 48000, 1, 0.2));
        if (name == QLatin1String("surround.wav"))
            QVERIFY(MediaMaker::makeTone(source, 48000, 6, 0.2));
        if (name == QLatin1String("words.mp3")) {
            QFile text(source);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("no sound in here\n");
        }
        if (name == QLatin1String("nowhere")) {
            source = path(QStringLiteral("short.wav"));
            QVERIFY(MediaMaker::makeTone(source, 48000, 2, 0.2));
            output = path(QStringLiteral("no-folder/out"));
        }
        const int code = isRawPcmPath(source) ? encodePcmAudio(source, output, 4, nullptr, true)
                                              : encodeAudioFile(source, output, 4, nullptr, true);
        QCOMPARE(code, result);
    }

    void writesNothingWhenAskedNotTo()
    {
        const QString source = path(QStringLiteral("quiet.wav"));
        QVERIFY(MediaMaker::makeTone(source, 44100, 2, 0.3));
        const QString output = path(QStringLiteral("unwritten"));
        QCOMPARE(encodeAudioFile(source, output, 4, nullptr, false), 0);
        QVERIFY(!QFileInfo::exists(output));
    }

    void stopsWhenCancelled_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("PCM") << QStringLiteral("cancel.pcm");
        QTest::newRow("WAV") << QStringLiteral("cancel.wav");
    }
    void stopsWhenCancelled()
    {
        QFETCH(QString, name);
        const QString source = path(name);
        QStringList format;
        if (isRawPcmPath(source))
            format = QStringList{QStringLiteral("-f"), QStringLiteral("s16le")};
        QVERIFY(MediaMaker::makeTone(source, 48000, 2, 0.5, format));
        ProgressTracker progress;
        progress.cancel();
        const QString output = source + QLatin1String(".chunks");
        const int code = isRawPcmPath(source) ? encodePcmAudio(source, output, 4, &progress, true)
                                              : encodeAudioFile(source, output, 4, &progress, true);
        QCOMPARE(code, int(AudioResult_Cancelled));
    }
};

RW_TEST_MAIN(TestAudioConversion)
#include "tst_audio_conversion.moc"
