#include "mail_settings.h"
#include "test_main.h"

class TestMailSettings : public QObject
{
    Q_OBJECT

private slots:
    void recipientsMustLookLikeAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << QStringLiteral("ops@example.com") << true;
        QTest::newRow("dots, plus, percent") << QStringLiteral("a.b+c%d@mail.example.org") << true;
        QTest::newRow("four-letter domain") << QStringLiteral("x@example.info") << true;
        QTest::newRow("five-letter domain") << QStringLiteral("x@example.store") << false;
        QTest::newRow("no domain dot") << QStringLiteral("x@localhost") << false;
        QTest::newRow("blank") << QStringLiteral("x y@example.com") << false;
        QTest::newRow("trailing text") << QStringLiteral("x@example.com,") << false;
        QTest::newRow("empty") << QString() << false;
    }

    void recipientsMustLookLikeAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(MailSettings::isValidRecipient(address), valid);
    }
};

RW_TEST_MAIN(TestMailSettings)
#include "tst_mail_settings.moc"
