#include "mail_settings.h"
#include "test_main.h"

using namespace Qt::Literals::StringLiterals;

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
        QTest::newRow("long domain") << QStringLiteral("ops@example.travel") << true;
        QTest::newRow("63 letters") << u"x@example."_s + QString(63, u'a') << true;
        QTest::newRow("64 letters") << u"x@example."_s + QString(64, u'a') << false;
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
