// Converting media into chunk files: MPEG-2 video analysed and cut (or
// re-encoded first), and audio encoded as Vorbis, from sources made with the
// ffmpeg tool.

#include "audio_conversion.h"
#include "chunk_file.h"
#include "elementary_stream_encoder.h"
#include "media_maker.h"
#include "progress_tracker.h"
#include "test_main.h"
#include "video_analysis.h"
#include "video_packetiser.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 I = 0x80000001;
constexpr quint32 P = 0x80000002;
constexpr quint32 B = 0x80000003;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Picture coding types in coded order, read from the start codes themselves.
QList<quint32> pictureTypes(const QByteArray &stream)
{
    static const QByteArray startCode = QByteArray::fromHex("00000100");
    QList<quint32> types;
    for (qsizetype at = stream.indexOf(startCode); at >= 0 && at + 5 < stream.size();
         at = stream.indexOf(startCode, at + 4))
        types.append(0x80000000u | ((uchar(stream[at + 5]) >> 3) & 7));
    return types;
}

constexpr quint32 AudioChunk = 0x80000101;

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
    const QString stats = MediaMaker::probe(u"frame_tags=lavfi.astats.Overall.Peak_level"_s,
                                            u"amovie=%1,astats=metadata=1:reset=0"_s.arg(path),
                                            {u"-f"_s, u"lavfi"_s});
    const QStringList values = stats.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return values.isEmpty() ? 0.0 : values.last().toDouble();
}

} // namespace

class TestMediaConversion : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The chunks a source is cut into; none when it is refused.
    QList<Chunk> convert(const QString &source, ProgressTracker *progress = nullptr)
    {
        VideoInfo info(source);
        const QString output = source + u".chunks"_s;
        QString error;
        if (analyseVideo(info, nullptr) != ConvertResult_Ok ||
            packetiseVideo(info, output, progress) != ConvertResult_Ok)
            return {};
        const QList<Chunk> chunks = ChunkFile::read(output, &error);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return chunks;
    }

    static int encode(const QString &source, const QString &output,
                      ProgressTracker *progress = nullptr, bool write = true)
    {
        return isRawPcmPath(source) ? encodePcmAudio(source, output, 4, progress, write)
                                    : encodeAudioFile(source, output, 4, progress, write);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Raw streams: PAL (suffix in capitals), NTSC, and one of a size to re-encode.
        QVERIFY2(MediaMaker::makeMpeg2(path(u"pal.M2V"_s), 720, 576, u"25"_s, 2) &&
                     MediaMaker::makeMpeg2(path(u"ntsc.m2v"_s), 720, 480, u"30000/1001"_s, 1) &&
                     MediaMaker::makeMpeg2(path(u"small.m2v"_s), 704, 576, u"25"_s, 2),
                 qPrintable(MediaMaker::lastError()));
        // The PAL stream with zero stuffing before its second picture, whose
        // start code the analysis' 1 MiB blocks then cut after its two zeros.
        QByteArray padded = readAll(path(u"pal.M2V"_s));
        const QByteArray pictureStart = QByteArray::fromHex("00000100");
        const qsizetype second = padded.indexOf(pictureStart, padded.indexOf(pictureStart) + 4);
        padded.insert(second, QByteArray(1024 * 1024 - 3 - second, '\0'));
        QVERIFY(writeFile(path(u"padded.m2v"_s), padded));
        QVERIFY(MediaMaker::makeMpeg2(path(u"film.m2v"_s), 720, 576, u"24"_s, 1));
        QVERIFY(MediaMaker::makeMpeg2(path(u"multiplex.m2v"_s), 720, 576, u"25"_s, 1, u"vob"_s));
        QVERIFY(MediaMaker::makeTone(path(u"short.wav"_s), 48000, 2, 0.3));
        QVERIFY(MediaMaker::makeTone(path(u"short.pcm"_s), 48000, 2, 0.3, {u"-f"_s, u"s16le"_s}));
        QVERIFY(MediaMaker::makeTone(path(u"mono.wav"_s), 48000, 1, 0.2));
        QVERIFY(writeFile(path(u"text.m2v"_s), "just some words, no sound or video\n"));
    }

    void analysesRawStreamsByCountingPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("standard");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<int>("durationMs");
        QTest::newRow("PAL, suffix M2V")
            << u"pal.M2V"_s << int(VideoStandard_PAL) << true << 50 * 40;
        QTest::newRow("NTSC") << u"ntsc.m2v"_s << int(VideoStandard_NTSC) << true << 30 * 1001 / 30;
        QTest::newRow("start code across a block edge")
            << u"padded.m2v"_s << int(VideoStandard_PAL) << true << 50 * 40;
        // Nothing in the container gives its duration: the pictures are counted.
        QTest::newRow("704 wide") << u"small.m2v"_s << int(VideoStandard_PAL) << false << 50 * 40;
    }
    void analysesRawStreamsByCountingPictures()
    {
        QFETCH(QString, name);
        QFETCH(int, standard);
        QFETCH(bool, raw);
        QFETCH(int, durationMs);
        VideoInfo info(path(name));
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        QVERIFY(info.valid);
        QCOMPARE(int(info.standard), standard);
        QCOMPARE(info.rawElementaryStream, raw);
        QCOMPARE(info.durationMs, durationMs);
        QCOMPARE(info.pixelFormat, 0); // planar YUV 4:2:0
    }

    // Refused by the analysis, or when the pictures are cut (into a chunk file
    // beside the sources unless an output is given). A program stream looks
    // raw until its pack headers are read.
    void videoRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("output");
        QTest::addColumn<ConvertResult>("result");
        QTest::newRow("missing") << u"missing.m2v"_s << QString() << ConvertResult_InputNotFound;
        QTest::newRow("24 fps") << u"film.m2v"_s << QString() << ConvertResult_InputNotMpeg2;
        QTest::newRow("not media") << u"text.m2v"_s << QString() << ConvertResult_InputNotFound;
        QTest::newRow("audio only") << u"short.wav"_s << QString() << ConvertResult_InputNotMpeg2;
        QTest::newRow("program stream named m2v")
            << u"multiplex.m2v"_s << QString() << ConvertResult_NotRawM2v;
        QTest::newRow("no such folder")
            << u"pal.M2V"_s << u"/nonexistent-folder/out"_s << ConvertResult_CannotWriteOutput;
        QTest::newRow("disk full")
            << u"pal.M2V"_s << u"/dev/full"_s << ConvertResult_CannotWriteOutput;
        QTest::newRow("cancelled while re-encoding")
            << u"small.m2v"_s << QString() << ConvertResult_Cancelled;
    }
    void videoRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, output);
        QFETCH(ConvertResult, result);
        VideoInfo info(path(name));
        const ConvertResult analysed = analyseVideo(info, nullptr);
        QCOMPARE(info.valid, analysed == ConvertResult_Ok);
        ProgressTracker progress;
        if (result == ConvertResult_Cancelled)
            progress.cancel();
        QCOMPARE(analysed != ConvertResult_Ok
                     ? analysed
                     : packetiseVideo(info, output.isEmpty() ? path(u"out.chunks"_s) : output,
                                      &progress),
                 result);
    }

    void cutsARawStreamAsItIs()
    {
        const QList<Chunk> chunks = convert(path(u"pal.M2V"_s));
        const QByteArray source = readAll(path(u"pal.M2V"_s));
        const QList<quint32> types = pictureTypes(source);
        QCOMPARE(types.size(), 50);
        QCOMPARE(ChunkFile::types(chunks), types);
        QVERIFY(types.contains(I) && types.contains(P) && types.contains(B));
        const QString mismatch = ChunkFile::compareWithStream(chunks, source);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The first chunk runs from the sequence header to the second picture.
        QVERIFY(chunks.first().unswapped().startsWith(QByteArray::fromHex("000001B3")));
        QCOMPARE(pictureTypes(chunks.first().unswapped()).size(), 1);
    }

    // Every source picture comes out, the last ones the encoder held included;
    // progress runs to its end, half of it for the re-encoding.
    void reencodesOtherSizesTo720Wide()
    {
        ProgressTracker progress;
        QList<double> seen;
        progress.setObserver([&seen](double fraction) { seen.append(fraction); });
        const QList<Chunk> chunks = convert(path(u"small.m2v"_s), &progress);
        QCOMPARE(chunks.size(), 50);
        QCOMPARE(chunks.first().type, I);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(seen.contains(0.5));
        QCOMPARE(seen.last(), 1.0);
        const QString joined = path(u"small-joined.m2v"_s);
        QVERIFY(writeFile(joined, ChunkFile::joinPayloads(chunks)));
        QCOMPARE(MediaMaker::probe(u"stream=width,height"_s, joined), u"720\n576"_s);
        QCOMPARE(MediaMaker::probe(u"stream=nb_read_frames"_s, joined, {u"-count_frames"_s}),
                 u"50"_s);
    }

    void encodesNtscAt480Lines()
    {
        // An MPEG-4 file: analysed from its container, re-encoded at 720 x 480.
        const QString source = path(u"ntsc.mp4"_s);
        QVERIFY(MediaMaker::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc2=size=640x480:rate=30000/1001"_s, u"-t"_s, u"0.5"_s,
                                    u"-c:v"_s, u"mpeg4"_s, source}));
        VideoInfo info(source);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        QCOMPARE(info.standard, VideoStandard_NTSC);
        QVERIFY(!info.rawElementaryStream);
        const QString temporary = path(u"ntsc-encoded.m2v"_s);
        QCOMPARE(encodeElementaryStream(info, temporary, false, nullptr), ConvertResult_Ok);
        QCOMPARE(MediaMaker::probe(u"stream=width,height,r_frame_rate"_s, temporary),
                 u"720\n480\n30000/1001"_s);
    }

    // A damaged packet costs its pictures, not the conversion.
    void damagedPacketsAreSkipped()
    {
        const QString source = path(u"damaged.mp4"_s);
        QVERIFY(MediaMaker::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=640x480:rate=30"_s,
                                    u"-t"_s, u"2"_s, u"-c:v"_s, u"libx264"_s, source}));
        QByteArray bytes = readAll(source);
        for (const double place : {0.62, 0.70, 0.78, 0.87}) {
            const qsizetype offset = qsizetype(bytes.size() * place);
            for (qsizetype i = offset; i < offset + 30; ++i)
                bytes[i] = char(bytes[i] ^ 0x5A);
        }
        QVERIFY(writeFile(source, bytes));

        VideoInfo info(source);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        const QString encoded = path(u"damaged.m2v"_s);
        QCOMPARE(encodeElementaryStream(info, encoded, false, nullptr), ConvertResult_Ok);
        const int pictures =
            MediaMaker::probe(u"stream=nb_read_frames"_s, encoded, {u"-count_frames"_s}).toInt();
        QVERIFY2(pictures > 0 && pictures <= 60, qPrintable(QString::number(pictures)));
    }

    void choosesThePcmPathByTheWholeSuffix_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("pcm");
        QTest::newRow("pcm") << u"a.pcm"_s << true;
        QTest::newRow("two suffixes") << u"a.pcm.bak"_s << false;
        QTest::newRow("dotted name") << u"take.2.pcm"_s << false;
    }
    void choosesThePcmPathByTheWholeSuffix()
    {
        QFETCH(QString, name);
        QFETCH(bool, pcm);
        QCOMPARE(isRawPcmPath(u"/some/folder.x/"_s + name), pcm);
    }

    // Every source comes out as 48 kHz stereo Vorbis of the source's length
    // and loudness: the header packets first, then the audio.
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

        QCOMPARE(encode(source, source + u".chunks"_s), 0);
        QString error;
        const QList<Chunk> chunks = ChunkFile::read(source + u".chunks"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(chunks.size() > 4);
        for (const Chunk &chunk : chunks)
            QCOMPARE(chunk.type, AudioChunk);
        QVERIFY(chunks[0].packet().startsWith("\x01vorbis"));
        QVERIFY(chunks[1].packet().startsWith("\x03vorbis"));
        QVERIFY(chunks[2].packet().startsWith("\x05vorbis"));
        QCOMPARE(channelsAndRate(chunks[0].packet()), (QPair<int, quint32>(2, 48000)));
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
    // conversions cancelled at once.
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

    // The rate is the file's word: at 20 Hz each decoded frame becomes a
    // couple of thousand at 48 kHz, which must reach the encoder in pieces.
    void aVeryLowRateConvertsInPieces()
    {
        const QString source = path(u"twenty-hertz.wav"_s);
        QVERIFY(MediaMaker::makeTone(source, 20, 2, 102.4)); // 2048 frames
        QCOMPARE(encode(source, path(u"twenty-hertz.chunks"_s), nullptr), 0);
    }

    void writesNothingWhenAskedNotTo()
    {
        const QString output = path(u"unwritten"_s);
        QCOMPARE(encode(path(u"short.wav"_s), output, nullptr, false), 0);
        QVERIFY(!QFileInfo::exists(output));
    }
};

RW_TEST_MAIN(TestMediaConversion)
#include "tst_media_conversion.moc"
