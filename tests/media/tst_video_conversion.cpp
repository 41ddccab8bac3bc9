#include "chunk_file.h"
#include "elementary_stream_encoder.h"
#include "media_sources.h"
#include "progress_tracker.h"
#include "video_analysis.h"
#include "video_packetiser.h"

namespace {

constexpr quint32 I = 0x80000001;
constexpr quint32 P = 0x80000002;
constexpr quint32 B = 0x80000003;

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

} // namespace

class TestVideoConversion : public MediaSources
{
    Q_OBJECT

private:
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

private slots:
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
        QByteArray stream;
        for (const Chunk &chunk : chunks)
            stream += chunk.unswapped();
        QVERIFY(writeFile(joined, stream));
        QCOMPARE(MediaMaker::probe(u"stream=width,height"_s, joined), u"720\n576"_s);
        QCOMPARE(MediaMaker::probe(u"stream=nb_read_frames"_s, joined, {u"-count_frames"_s}),
                 u"50"_s);
    }

    // Files in a container are analysed from it and re-encoded at 720 x 480:
    // an MPEG-4 file, and one whose damaged packets cost their pictures, not
    // the conversion.
    void reencodesContainersAt480Lines()
    {
        const QString mpeg4 = path(u"ntsc.mp4"_s);
        const QString damaged = path(u"damaged.mp4"_s);
        QVERIFY(MediaMaker::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc2=size=640x480:rate=30000/1001"_s, u"-t"_s, u"0.5"_s,
                                    u"-c:v"_s, u"mpeg4"_s, mpeg4}));
        QVERIFY(MediaMaker::ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=640x480:rate=30"_s,
                                    u"-t"_s, u"2"_s, u"-c:v"_s, u"libx264"_s, damaged}));
        QByteArray bytes = readAll(damaged);
        for (const double place : {0.62, 0.70, 0.78, 0.87}) {
            const qsizetype offset = qsizetype(bytes.size() * place);
            for (qsizetype i = offset; i < offset + 30; ++i)
                bytes[i] = char(bytes[i] ^ 0x5A);
        }
        QVERIFY(writeFile(damaged, bytes));

        for (const QString &source : {mpeg4, damaged}) {
            VideoInfo info(source);
            QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
            QCOMPARE(info.standard, VideoStandard_NTSC);
            QVERIFY(!info.rawElementaryStream);
            const QString encoded = source + u".m2v"_s;
            QCOMPARE(encodeElementaryStream(info, encoded, false, nullptr), ConvertResult_Ok);
            QCOMPARE(MediaMaker::probe(u"stream=width,height,r_frame_rate"_s, encoded),
                     u"720\n480\n30000/1001"_s);
            const int pictures =
                MediaMaker::probe(u"stream=nb_read_frames"_s, encoded, {u"-count_frames"_s})
                    .toInt();
            QVERIFY2(pictures > 0 && pictures <= 60, qPrintable(QString::number(pictures)));
        }
    }
};

RW_TEST_MAIN(TestVideoConversion)
#include "tst_video_conversion.moc"
