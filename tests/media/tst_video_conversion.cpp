#include "chunk_file.h"
#include "elementary_stream_encoder.h"
#include "media_maker.h"
#include "progress_tracker.h"
#include "test_main.h"
#include "video_analysis.h"
#include "video_packetiser.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr quint32 I = 0x80000001;
constexpr quint32 P = 0x80000002;
constexpr quint32 B = 0x80000003;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

QList<quint32> typesOf(const QList<Chunk> &chunks)
{
    QList<quint32> types;
    for (const Chunk &chunk : chunks)
        types.append(chunk.type);
    return types;
}

} // namespace

class TestVideoConversion : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_pal;   // 720 x 576, 25 fps, 2 s, raw, suffix in capitals
    QString m_ntsc;  // 720 x 480, 30000/1001, 1 s, raw
    QString m_small; // 704 x 576, 25 fps, 2 s, raw stream of a size to re-encode

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_pal = path(QStringLiteral("pal.M2V"));
        m_ntsc = path(QStringLiteral("ntsc.m2v"));
        m_small = path(QStringLiteral("small.m2v"));
        QVERIFY2(MediaMaker::makeMpeg2(m_pal, 720, 576, QStringLiteral("25"), 2),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY2(MediaMaker::makeMpeg2(m_ntsc, 720, 480, QStringLiteral("30000/1001"), 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY2(MediaMaker::makeMpeg2(m_small, 704, 576, QStringLiteral("25"), 2),
                 qPrintable(MediaMaker::lastError()));
    }

    void analysesRawStreamsByCountingPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("standard");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<int>("durationMs");
        QTest::newRow("PAL, suffix M2V")
            << QStringLiteral("pal.M2V") << int(VideoStandard_PAL) << true << 50 * 40;
        QTest::newRow("NTSC") << QStringLiteral("ntsc.m2v") << int(VideoStandard_NTSC) << true
                              << 30 * 1001 / 30;
        // Nothing in the container gives its duration: the pictures are counted.
        QTest::newRow("704 wide") << QStringLiteral("small.m2v") << int(VideoStandard_PAL) << false
                                  << 50 * 40;
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

    void refusesUnusableInputs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ConvertResult>("result");
        QTest::newRow("missing") << QStringLiteral("missing.m2v") << ConvertResult_InputNotFound;
        QTest::newRow("24 fps") << QStringLiteral("film.m2v") << ConvertResult_InputNotMpeg2;
        QTest::newRow("not media") << QStringLiteral("text.m2v") << ConvertResult_InputNotFound;
        QTest::newRow("audio only") << QStringLiteral("tone.wav") << ConvertResult_InputNotMpeg2;
    }
    void refusesUnusableInputs()
    {
        QFETCH(QString, name);
        QFETCH(ConvertResult, result);
        if (name == QLatin1String("film.m2v"))
            QVERIFY(MediaMaker::makeMpeg2(path(name), 720, 576, QStringLiteral("24"), 1));
        if (name == QLatin1String("text.m2v")) {
            QFile text(path(name));
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("just some words, no video\n");
        }
        if (name == QLatin1String("tone.wav"))
            QVERIFY(MediaMaker::makeTone(path(name), 48000, 2, 0.2));
        VideoInfo info(path(name));
        QCOMPARE(analyseVideo(info, nullptr), result);
        QVERIFY(!info.valid);
    }

    void cutsARawStreamAsItIs()
    {
        VideoInfo info(m_pal);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        const QString output = path(QStringLiteral("pal.chunks"));
        QCOMPARE(packetiseVideo(info, output, nullptr), ConvertResult_Ok);

        QString error;
        const QList<Chunk> chunks = ChunkFile::read(output, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QByteArray source = readAll(m_pal);
        const QList<quint32> types = pictureTypes(source);
        QCOMPARE(types.size(), 50);
        QCOMPARE(typesOf(chunks), types);
        QVERIFY(types.contains(I) && types.contains(P) && types.contains(B));
        const QString mismatch = ChunkFile::compareWithStream(chunks, source);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The first chunk runs from the sequence header to the second picture.
        QVERIFY(chunks.first().unswapped().startsWith(QByteArray::fromHex("000001B3")));
        QCOMPARE(pictureTypes(chunks.first().unswapped()).size(), 1);
    }

    void refusesAProgramStreamNamedM2v()
    {
        const QString multiplex = path(QStringLiteral("multiplex.m2v"));
        QVERIFY(MediaMaker::makeMpeg2(multiplex, 720, 576, QStringLiteral("25"), 1,
                                      QStringLiteral("vob")));
        VideoInfo info(multiplex);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        QVERIFY(info.rawElementaryStream); // it looks raw until its pack headers are read
        QCOMPARE(packetiseVideo(info, path(QStringLiteral("multiplex.chunks")), nullptr),
                 ConvertResult_NotRawM2v);
    }

    // Every source picture comes out, the last ones the encoder held included.
    void reencodesOtherSizesTo720Wide()
    {
        VideoInfo info(m_small);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        const QString output = path(QStringLiteral("small.chunks"));
        QCOMPARE(packetiseVideo(info, output, nullptr), ConvertResult_Ok);

        QString error;
        const QList<Chunk> chunks = ChunkFile::read(output, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(chunks.size(), 50);
        QCOMPARE(chunks.first().type, I);
        const QString joined = path(QStringLiteral("small-joined.m2v"));
        QFile file(joined);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ChunkFile::joinPayloads(chunks));
        file.close();
        QCOMPARE(MediaMaker::probe(QStringLiteral("stream=width,height"), joined),
                 QStringLiteral("720\n576"));
        QCOMPARE(MediaMaker::probe(QStringLiteral("stream=nb_read_frames"), joined,
                                   {QStringLiteral("-count_frames")}),
                 QStringLiteral("50"));
    }

    void encodesNtscAt480Lines()
    {
        // An MPEG-4 file: analysed from its container, re-encoded at 720 x 480.
        const QString source = path(QStringLiteral("ntsc.mp4"));
        QVERIFY(MediaMaker::ffmpeg(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=640x480:rate=30000/1001"), QStringLiteral("-t"),
             QStringLiteral("0.5"), QStringLiteral("-c:v"), QStringLiteral("mpeg4"), source}));
        VideoInfo info(source);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        QCOMPARE(info.standard, VideoStandard_NTSC);
        QVERIFY(!info.rawElementaryStream);
        const QString temporary = path(QStringLiteral("ntsc-encoded.m2v"));
        QCOMPARE(encodeElementaryStream(info, temporary, false, nullptr), ConvertResult_Ok);
        QCOMPARE(MediaMaker::probe(QStringLiteral("stream=width,height,r_frame_rate"), temporary),
                 QStringLiteral("720\n480\n30000/1001"));
    }

    void stopsWhenCancelled_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::newRow("cutting") << true;
        QTest::newRow("re-encoding") << false;
    }
    void stopsWhenCancelled()
    {
        QFETCH(bool, raw);
        VideoInfo info(raw ? m_pal : m_small);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        ProgressTracker progress;
        progress.cancel();
        QCOMPARE(packetiseVideo(info, path(QStringLiteral("cancelled.chunks")), &progress),
                 ConvertResult_Cancelled);
    }

    void reportsOutputThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("output");
        QTest::newRow("no such folder") << QStringLiteral("/nonexistent-folder/out");
        QTest::newRow("disk full") << QStringLiteral("/dev/full");
    }
    void reportsOutputThatCannotBeWritten()
    {
        QFETCH(QString, output);
        VideoInfo info(m_pal);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        QCOMPARE(packetiseVideo(info, output, nullptr), ConvertResult_CannotWriteOutput);
    }

    void reportsProgressToTheEnd()
    {
        VideoInfo info(m_small);
        QCOMPARE(analyseVideo(info, nullptr), ConvertResult_Ok);
        ProgressTracker progress;
        QList<double> seen;
        progress.setObserver([&seen](double fraction) { seen.append(fraction); });
        QCOMPARE(packetiseVideo(info, path(QStringLiteral("progress.chunks")), &progress),
                 ConvertResult_Ok);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(seen.contains(0.5)); // re-encoding done, cutting begins
        QCOMPARE(seen.last(), 1.0);
    }
};

RW_TEST_MAIN(TestVideoConversion)
#include "tst_video_conversion.moc"
