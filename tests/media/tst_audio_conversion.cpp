#include "audio_conversion.h"
#include "chunk_file.h"
#include "media_sources.h"
#include "progress_tracker.h"

#include <QFileInfo>

namespace {

constexpr quint32 AudioChunk = 0x80000101;

// The loudest sample of a file, in dB below full scale, by ffmpeg's reading.
// (Raw PCM has no header to tell ffmpeg its format: measure its WAV twin.)
double peakDb(const QString &path)
{
    const QString stats = MediaMaker::probe(u"frame_tags=lavfi.astats.Overall.Peak_level"_s,
                                            u"amovie=%1,astats=metadata=1:reset=0"_s.arg(path),
                                            {u"-f"_s, u"lavfi"_s});
    const QStringList values = stats.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return values.isEmpty() ? 0.0 : values.last().toDouble();
}

} // namespace

class TestAudioConversion : public MediaSources
{
    Q_OBJECT

private:
    static int encode(const QString &source, const QString &output,
                      ProgressTracker *progress = nullptr, bool write = true)
    {
        return isRawPcmPath(source) ? encodePcmAudio(source, output, 4, progress, write)
                                    : encodeAudioFile(source, output, 4, progress, write);
    }

private slots:
    void choosesThePcmPathByTheWholeSuffix()
    {
        for (const auto &[name, pcm] :
             {std::pair{u"a.pcm"_s, true}, {u"a.pcm.bak"_s, false}, {u"take.2.pcm"_s, false}})
            QVERIFY2(isRawPcmPath(u"/some/folder.x/"_s + name) == pcm, qPrintable(name));
    }

    // Every source comes out as 48 kHz stereo Vorbis of the source's length
    // and loudness: the header packets first (or the Ogg file made of them
    // would not play), then the audio.
    void convertsSourcesToVorbisChunks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QStringList>("format");
        QTest::newRow("raw PCM, suffix in capitals")
            << u"tone.PCM"_s << 48000 << QStringList{u"-f"_s, u"s16le"_s};
        QTest::newRow("MP3 at 44.1 kHz (planar float)")
            << u"tone.mp3"_s << 44100 << QStringList{u"-c:a"_s, u"libmp3lame"_s};
        QTest::newRow("FLAC at 32 kHz (32-bit)")
            << u"tone.flac"_s << 32000 << QStringList{u"-sample_fmt"_s, u"s32"_s};
    }
    void convertsSourcesToVorbisChunks()
    {
        QFETCH(QString, name);
        QFETCH(int, rate);
        QFETCH(QStringList, format);
        const QString source = path(name);
        QVERIFY2(MediaMaker::makeTone(source, rate, 2, 1.0, format),
                 qPrintable(MediaMaker::lastError()));

        QCOMPARE(encode(source, source + u".unwritten"_s, nullptr, false), 0);
        QVERIFY(!QFileInfo::exists(source + u".unwritten"_s)); // as asked
        QCOMPARE(encode(source, source + u".chunks"_s), 0);
        QString error;
        const QList<Chunk> chunks = ChunkFile::read(source + u".chunks"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(chunks.size() > 4);
        for (const Chunk &chunk : chunks)
            QCOMPARE(chunk.type, AudioChunk);
        // One second of sound, at the new rate (MP3 adds its own padding).
        QVERIFY2(qAbs(qint64(chunks.last().granule()) - 48000) < 1200,
                 qPrintable(QString::number(chunks.last().granule())));

        const QString ogg = source + QLatin1String(".ogg");
        QVERIFY(ChunkFile::writeOgg(chunks, ogg));
        const QString oggFormat = MediaMaker::probe(u"stream=sample_rate,channels"_s, ogg);
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
                 qPrintable(u"%1 dB from %2 dB"_s.arg(peak).arg(sourcePeak)));
    }

    // Sources the encoders refuse, a missing folder for the output, and
    // conversions cancelled at once. The rate is the file's word: at 20 Hz
    // each decoded frame becomes a couple of thousand at 48 kHz, which must
    // reach the encoder in pieces.
    void audioRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("result");
        const int cannotOpen = AudioResult_CannotOpenInput;
        QTest::newRow("missing") << u"missing.wav"_s << QString() << cannotOpen;
        QTest::newRow("mono") << u"mono.wav"_s << QString() << cannotOpen;
        QTest::newRow("not audio") << u"text.m2v"_s << QString() << cannotOpen;
        QTest::newRow("no folder for the output")
            << u"short.wav"_s << u"no-folder/out"_s << int(AudioResult_CannotWriteOutput);
        QTest::newRow("cancelled PCM") << u"short.pcm"_s << QString() << int(AudioResult_Cancelled);
        QTest::newRow("20 Hz, converted") << u"twenty-hertz.wav"_s << QString() << 0;
    }
    void audioRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, output);
        QFETCH(int, result);
        ProgressTracker progress;
        if (result == AudioResult_Cancelled)
            progress.cancel();
        QCOMPARE(encode(path(name), path(output.isEmpty() ? u"out.chunks"_s : output), &progress),
                 result);
    }
};

RW_TEST_MAIN(TestAudioConversion)
#include "tst_audio_conversion.moc"
