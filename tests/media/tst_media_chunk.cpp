#include "media_chunk.h"
#include "test_main.h"

#include <QBuffer>
#include <QFile>

using namespace Qt::StringLiterals;

class TestMediaChunk : public QObject
{
    Q_OBJECT

private slots:
    // Magic, payload size, type and the sum of the stored payload's words, all
    // little-endian; the payload padded to whole words, each word reversed
    // when asked.
    void writesHeaderPaddingAndChecksum_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("swap");
        QTest::addColumn<QByteArray>("chunk");
        QTest::newRow("empty") << ""_ba << true << "C283EA57 00000000 03000080 00000000"_ba;
        QTest::newRow("words swapped")
            << "0102030405060708"_ba << true
            << "C283EA57 08000000 03000080 0C0A0806 04030201 08070605"_ba;
        QTest::newRow("words kept") << "0102030405060708"_ba << false
                                    << "C283EA57 08000000 03000080 06080A0C 01020304 05060708"_ba;
        QTest::newRow("checksum wraps modulo 2^32")
            << "FFFFFFFF02000000"_ba << false
            << "C283EA57 08000000 03000080 01000000 FFFFFFFF 02000000"_ba;
    }
    void writesHeaderPaddingAndChecksum()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, swap);
        QFETCH(QByteArray, chunk);
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        QByteArray buffer = QByteArray::fromHex(data);
        QVERIFY(writeChunk(file, MediaChunk::Type_BPicture, swap, buffer.data(), buffer.size()));
        QCOMPARE(file.data().toHex().toUpper(), QByteArray::fromHex(chunk).toHex().toUpper());
    }

    void reportsAFullDisk()
    {
        QFile full(u"/dev/full"_s);
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QByteArray buffer(64, 'x');
        QVERIFY(!writeChunk(full, MediaChunk::Type_IPicture, true, buffer.data(), buffer.size()));
    }
};

RW_TEST_MAIN(TestMediaChunk)
#include "tst_media_chunk.moc"
