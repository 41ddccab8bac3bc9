#include "chunk_file.h"
#include "media_chunk.h"
#include "test_main.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

class TestMediaChunk : public QObject
{
    Q_OBJECT

private slots:
    void writesHeaderPaddingAndChecksum_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("swap");
        QTest::addColumn<QByteArray>("storedPayload");
        QTest::addColumn<quint32>("checksum");

        const QByteArray eight = QByteArray::fromHex("0102030405060708");
        QTest::newRow("empty") << QByteArray() << true << QByteArray() << 0u;
        QTest::newRow("words swapped") << eight << true << QByteArray::fromHex("0403020108070605")
                                       << (0x01020304u + 0x05060708u);
        QTest::newRow("words kept") << eight << false << eight << (0x04030201u + 0x08070605u);
        QTest::newRow("one byte padded and swapped")
            << QByteArray::fromHex("AB") << true << QByteArray::fromHex("000000AB") << 0xAB000000u;
        QTest::newRow("five bytes padded")
            << QByteArray::fromHex("0102030405") << false << QByteArray::fromHex("0102030405000000")
            << (0x04030201u + 0x05u);
        QTest::newRow("checksum wraps modulo 2^32")
            << QByteArray::fromHex("FFFFFFFF02000000") << false
            << QByteArray::fromHex("FFFFFFFF02000000") << 1u;
    }
    void writesHeaderPaddingAndChecksum()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, swap);
        QFETCH(QByteArray, storedPayload);
        QFETCH(quint32, checksum);

        QBuffer file;
        file.open(QIODevice::WriteOnly);
        QByteArray buffer = data;
        QVERIFY(writeChunk(file, MediaChunk::Type_BPicture, swap, buffer.data(), buffer.size()));

        const QByteArray written = file.data();
        QCOMPARE(written.size(), 16 + storedPayload.size());
        QCOMPARE(written.left(4), QByteArray::fromHex("C283EA57"));
        QCOMPARE(qFromLittleEndian<quint32>(written.constData() + 4),
                 quint32(storedPayload.size()));
        QCOMPARE(qFromLittleEndian<quint32>(written.constData() + 8), 0x80000003u);
        QCOMPARE(qFromLittleEndian<quint32>(written.constData() + 12), checksum);
        QCOMPARE(written.mid(16), storedPayload);

        QString error;
        const QList<Chunk> chunks = ChunkFile::fromBytes(written, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(chunks.size(), 1);
    }

    void reportsAFullDisk()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("no /dev/full here");
        QByteArray buffer(64, 'x');
        QVERIFY(!writeChunk(full, MediaChunk::Type_IPicture, true, buffer.data(), buffer.size()));
    }
};

RW_TEST_MAIN(TestMediaChunk)
#include "tst_media_chunk.moc"
