#include "chunk_file.h"
#include "elementary_stream_packetiser.h"
#include "test_main.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 I = 0x80000001;
constexpr quint32 P = 0x80000002;
constexpr quint32 B = 0x80000003;

const QByteArray sequenceHeader = QByteArray::fromHex("000001B32D0240331FFFE018000001B5148A");
const QByteArray groupHeader = QByteArray::fromHex("000001B800080040");

// Picture data with lone zeros and zero pairs that are not start codes, so the
// scan leaves its fast path often.
QByteArray sliceData(int length)
{
    QByteArray data;
    data.reserve(length);
    for (int i = 0; data.size() < length; ++i) {
        const char byte = char(0x11 + i % 200);
        data.append(i % 7 == 3 ? '\0' : byte);
        if (i % 31 == 5)
            data.append(QByteArray::fromHex("000002"));
    }
    return data.left(length);
}

// A picture of the given coding type (1 I, 2 P, 3 B, anything else invalid).
QByteArray picture(int codingType, int dataLength = 300)
{
    QByteArray bytes = QByteArray::fromHex("00000100");
    bytes.append('\x01');                             // temporal reference, high bits
    bytes.append(char(0x40 | (codingType << 3) | 7)); // low bits, type, vbv delay
    bytes.append(QByteArray::fromHex("FFF8000001010A"));
    bytes.append(sliceData(dataLength));
    return bytes;
}

struct Outcome
{
    ConvertResult result;
    QByteArray written;
};

// Feeds the stream in blocks of `blockSize` bytes, or in two cut at `cut`.
Outcome packetise(const QByteArray &stream, qsizetype blockSize = -1, qsizetype cut = -1)
{
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    ElementaryStreamPacketiser packetiser(output);
    if (blockSize <= 0)
        blockSize = stream.size();
    for (qsizetype offset = 0; offset < stream.size();) {
        const qsizetype length =
            offset == 0 && cut > 0 ? cut : std::min(blockSize, stream.size() - offset);
        const ConvertResult result = packetiser.feed(stream.constData() + offset, length);
        if (result != ConvertResult_Ok)
            return {result, output.data()};
        offset += length;
    }
    return {packetiser.finish(), output.data()};
}

QList<Chunk> chunksOf(const Outcome &outcome)
{
    QString error;
    const QList<Chunk> chunks = ChunkFile::fromBytes(outcome.written, &error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return chunks;
}

} // namespace

class TestElementaryStreamPacketiser : public QObject
{
    Q_OBJECT

private slots:
    void cutsOneChunkPerPictureWithHeadersInFront()
    {
        const QList<QByteArray> expected = {
            sequenceHeader + groupHeader + picture(1), picture(3), picture(3, 5),
            sequenceHeader + groupHeader + picture(2, 4000), picture(3, 0)};
        const Outcome outcome = packetise(expected.join());
        QCOMPARE(outcome.result, ConvertResult_Ok);
        const QList<Chunk> chunks = chunksOf(outcome);
        QCOMPARE(ChunkFile::types(chunks), (QList<quint32>{I, B, B, P, B}));
        for (int i = 0; i < chunks.size(); ++i) {
            QCOMPARE(chunks[i].payload.size(), (expected[i].size() + 3) / 4 * 4);
            QCOMPARE(chunks[i].unswapped().left(expected[i].size()), expected[i]);
        }
    }

    // A start code or zero run split between blocks anywhere, or spread over
    // several small blocks.
    void blockEdgesDoNotChangeTheOutput()
    {
        QByteArray stream =
            sequenceHeader + groupHeader + picture(1, 700) + QByteArray(30, '\0') + picture(2, 99);
        for (int i = 0; i < 12; ++i)
            stream += picture(1 + i % 3, 10 + i) + QByteArray(i % 5, '\0');
        stream += sequenceHeader + picture(2, 3) + QByteArray(14, '\0') + picture(1, 2) +
                  QByteArray::fromHex("000001B7");
        const Outcome whole = packetise(stream);
        QCOMPARE(whole.result, ConvertResult_Ok);
        QCOMPARE(chunksOf(whole).size(), 16);
        const auto same = [&](const Outcome &pieces) {
            return pieces.result == ConvertResult_Ok && pieces.written == whole.written;
        };
        for (const qsizetype blockSize : {1, 2, 3, 5, 7, 13})
            QVERIFY2(same(packetise(stream, blockSize)), qPrintable(QString::number(blockSize)));
        for (qsizetype cut = 1; cut < stream.size(); ++cut) {
            if (!same(packetise(stream, -1, cut)))
                QFAIL(qPrintable(u"differs when cut at %1"_s.arg(cut)));
        }
    }

    void shortensZeroRunsToEleven_data()
    {
        QTest::addColumn<int>("run");
        QTest::addColumn<int>("kept");
        QTest::addColumn<bool>("beforeStartCode");
        for (bool beforeStartCode : {false, true}) {
            const char *where = beforeStartCode ? "before a picture" : "inside a picture";
            for (const auto &[run, kept] :
                 {std::pair{2, 2}, {3, 3}, {11, 11}, {12, 11}, {20, 11}, {1000, 11}})
                QTest::addRow("%d zeros %s", run, where) << run << kept << beforeStartCode;
        }
    }
    void shortensZeroRunsToEleven()
    {
        QFETCH(int, run);
        QFETCH(int, kept);
        QFETCH(bool, beforeStartCode);
        const QByteArray head = sequenceHeader + picture(1, 100);
        // Before a start code the run ends in its 01; inside data, in another byte.
        const QByteArray tail =
            beforeStartCode ? picture(2).mid(2) : QByteArray("\x55") + picture(2);
        const Outcome outcome = packetise(head + QByteArray(run, '\0') + tail);
        QCOMPARE(outcome.result, ConvertResult_Ok);
        const QList<Chunk> chunks = chunksOf(outcome);
        QCOMPARE(ChunkFile::types(chunks), (QList<quint32>{I, P}));
        const QString mismatch =
            ChunkFile::compareWithStream(chunks, head + QByteArray(kept, '\0') + tail);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // What is not an elementary stream is refused; a chunk holds at most
    // 512 KiB, the start code of the next picture counted when it is in the
    // buffer before the split.
    void resultsOfWholeStreams_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<ConvertResult>("result");
        QTest::addColumn<int>("firstChunk"); // its payload's size; 0: not checked
        const QByteArray start = sequenceHeader + picture(1);
        QTest::newRow("coding type 0") << start + picture(0) << ConvertResult_InputCorrupt << 0;
        QTest::newRow("header cut short")
            << start + QByteArray::fromHex("0000010001") << ConvertResult_InputCorrupt << 0;
        QTest::newRow("pack header")
            << QByteArray::fromHex("000001BA44") + start << ConvertResult_NotRawM2v << 0;
        QTest::newRow("system header")
            << start + QByteArray::fromHex("000001BB0012") << ConvertResult_NotRawM2v << 0;
        QTest::newRow("stream codes pass")
            << start + QByteArray::fromHex("000001BD07000001E0070000") + picture(2)
            << ConvertResult_Ok << 0;
        QTest::newRow("no picture at all") << sequenceHeader << ConvertResult_Ok << 0;
        const int limit = int(ElementaryStreamPacketiser::MaxChunkLength);
        const auto sized = [](int length, const QByteArray &next) {
            const int headers = int(sequenceHeader.size() + picture(1, 0).size());
            return sequenceHeader + picture(1, length - headers) + next;
        };
        QTest::newRow("last picture at the limit") << sized(limit, {}) << ConvertResult_Ok << limit;
        QTest::newRow("last picture one byte over")
            << sized(limit + 1, {}) << ConvertResult_BufferOverflow << 0;
        QTest::newRow("limit with the next start code")
            << sized(limit - 3, picture(2)) << ConvertResult_Ok << limit;
        QTest::newRow("one byte over with the next start code")
            << sized(limit - 2, picture(2)) << ConvertResult_BufferOverflow << 0;
    }
    void resultsOfWholeStreams()
    {
        QFETCH(QByteArray, stream);
        QFETCH(ConvertResult, result);
        QFETCH(int, firstChunk);
        const Outcome outcome = packetise(stream);
        QCOMPARE(outcome.result, result);
        if (firstChunk > 0)
            QCOMPARE(chunksOf(outcome).first().payload.size(), firstChunk);
    }
};

RW_TEST_MAIN(TestElementaryStreamPacketiser)
#include "tst_elementary_stream_packetiser.moc"
