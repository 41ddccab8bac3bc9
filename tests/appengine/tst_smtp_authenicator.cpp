#include "smtp_authenicator.h"
#include "test_main.h"

using namespace Qt::StringLiterals;

// The CRAM-MD5 answer itself is checked against RFC 2195's example by the mail
// client's tests.
class TestSmtpAuthenicator : public QObject
{
    Q_OBJECT

private slots:
    // The test cases of RFC 2202 for HMAC-MD5, short and long keys and data.
    void hmacMd5MatchesTheRfcVectors_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("digest");
        QTest::newRow("1") << QByteArray(16, '\x0b') << "Hi There"_ba
                           << "9294727a3638bb1c13f48ef8158bfc9d"_ba;
        QTest::newRow("2") << "Jefe"_ba
                           << "what do ya want for nothing?"_ba
                           << "750c783e6ab0b503eaa86e310a5db738"_ba;
        QTest::newRow("3") << QByteArray(16, '\xaa') << QByteArray(50, '\xdd')
                           << "56be34521d144c88dbb8c733f0e8b3f6"_ba;
        QTest::newRow("4") << QByteArray::fromHex(
                                  "0102030405060708090a0b0c0d0e0f10111213141516171819")
                           << QByteArray(50, '\xcd') << "697eaf0aca3a3aea3a75164746ffaa79"_ba;
        QTest::newRow("5") << QByteArray(16, '\x0c') << "Test With Truncation"_ba
                           << "56461ef2342edc00f9bab995690efd4c"_ba;
        QTest::newRow("6: key longer than a block")
            << QByteArray(80, '\xaa') << "Test Using Larger Than Block-Size Key - Hash Key First"_ba
            << "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"_ba;
        QTest::newRow("7: key and data longer than a block")
            << QByteArray(80, '\xaa')
            << "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"_ba
            << "6f630fad67cda0ee1fb1f562db3aa53e"_ba;
    }
    void hmacMd5MatchesTheRfcVectors()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, digest);
        QCOMPARE(SmtpAuthenicator::hmacMd5(key, data).toHex(), digest);
    }
};

RW_TEST_MAIN(TestSmtpAuthenicator)
#include "tst_smtp_authenicator.moc"
