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
        QTest::newRow("plain") << u"ops@example.com"_s << true;
        QTest::newRow("dots, plus, percent") << u"a.b+c%d@mail.example.org"_s << true;
        QTest::newRow("long domain") << u"ops@example.travel"_s << true;
        QTest::newRow("63 letters") << u"x@example."_s + QString(63, u'a') << true;
        QTest::newRow("64 letters") << u"x@example."_s + QString(64, u'a') << false;
        QTest::newRow("no domain dot") << u"x@localhost"_s << false;
        QTest::newRow("blank") << u"x y@example.com"_s << false;
        QTest::newRow("trailing text") << u"x@example.com,"_s << false;
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
