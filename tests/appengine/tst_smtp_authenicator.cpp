#include "smtp_authenicator.h"
#include "test_main.h"

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
        QTest::newRow("1") << QByteArray(16, '\x0b') << QByteArray("Hi There")
                           << QByteArray("9294727a3638bb1c13f48ef8158bfc9d");
        QTest::newRow("2") << QByteArray("Jefe") << QByteArray("what do ya want for nothing?")
                           << QByteArray("750c783e6ab0b503eaa86e310a5db738");
        QTest::newRow("3") << QByteArray(16, '\xaa') << QByteArray(50, '\xdd')
                           << QByteArray("56be34521d144c88dbb8c733f0e8b3f6");
        QTest::newRow("4") << QByteArray::fromHex(
                                  "0102030405060708090a0b0c0d0e0f10111213141516171819")
                           << QByteArray(50, '\xcd')
                           << QByteArray("697eaf0aca3a3aea3a75164746ffaa79");
        QTest::newRow("5") << QByteArray(16, '\x0c') << QByteArray("Test With Truncation")
                           << QByteArray("56461ef2342edc00f9bab995690efd4c");
        QTest::newRow("6: key longer than a block")
            << QByteArray(80, '\xaa')
            << QByteArray("Test Using Larger Than Block-Size Key - Hash Key First")
            << QByteArray("6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
        QTest::newRow("7: key and data longer than a block")
            << QByteArray(80, '\xaa')
            << QByteArray(
                   "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")
            << QByteArray("6f630fad67cda0ee1fb1f562db3aa53e");
    }
    void hmacMd5MatchesTheRfcVectors()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, digest);
        QCOMPARE(SmtpAuthenicator::hmacMd5(key, data).toHex(), digest);
    }

    // The example exchange of RFC 2195.
    void answersACramMd5Challenge()
    {
        const SmtpAuthenicator credentials(QStringLiteral("tim"),
                                           QStringLiteral("tanstaaftanstaaf"));
        const QByteArray challenge =
            QByteArray::fromBase64("PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+");
        QCOMPARE(challenge, QByteArray("<1896.697170952@postoffice.reston.mci.net>"));
        QCOMPARE(credentials.cramMd5Response(challenge).toBase64(),
                 QByteArray("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"));
    }
};

RW_TEST_MAIN(TestSmtpAuthenicator)
#include "tst_smtp_authenicator.moc"
