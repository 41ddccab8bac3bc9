// The mail client against aiosmtpd over STARTTLS and over TLS from the first
// byte, trusting the test server's own authority only.

#include "event_log.h"
#include "lum_application.h"
#include "smtp.h"
#include "smtp_test_server.h"
#include "test_main.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

class TestSmtpTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    // `log`: the whole level-0 log, %1 standing for the server's port. A
    // server that offers STARTTLS refuses AUTH and MAIL before it.
    void sendsOnlyOverTrustedTls_data()
    {
        QTest::addColumn<QStringList>("server");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("log");
        const QString sent = u"Sent mail to ops@example.com"_s;
        const QString unsecured =
            u"Failed to send alert mail: the connection to localhost:%1 could not be secured: "_s;
        QTest::newRow("STARTTLS") << QStringList{u"starttls"_s, u"trusted"_s} << true << sent;
        QTest::newRow("TLS from the first byte")
            << QStringList{u"implicit"_s, u"trusted"_s} << true << sent;
        QTest::newRow("untrusted authority") << QStringList{u"starttls"_s, u"self-signed"_s}
                                             << false << unsecured + u".*self-signed.*"_s;
        QTest::newRow("another host's certificate")
            << QStringList{u"implicit"_s, u"other-host"_s} << false
            << unsecured + u".*host name did not match.*"_s;
        QTest::newRow("no STARTTLS offered")
            << QStringList{u"none"_s, u"trusted"_s} << true
            << u"Logging in to localhost:%1 without encryption: the server does not offer "
               "STARTTLS\n"_s +
                   sent;
    }
    void sendsOnlyOverTrustedTls()
    {
        QFETCH(QStringList, server);
        QFETCH(bool, delivered);
        QFETCH(QString, log);
        SmtpTestServer mail({u"--tls"_s, server[0], u"--certificate"_s, server[1], u"--auth"_s,
                             u"login"_s, u"--user"_s, u"ops"_s, u"--password"_s, u"pw"_s});
        QVERIFY(mail.port() != 0);
        LumApplication::instance()->eventLog()->clear();

        Smtp smtp;
        smtp.addRecipient(u"ops@example.com"_s);
        smtp.setCaCertificates(QSslCertificate::fromPath(mail.folder() + u"/ca.pem"_s));
        if (server[0] == u"implicit"_s)
            smtp.setImplicitTlsPort(mail.port());
        connect(&smtp, &Smtp::authenticationRequired, [](SmtpAuthenicator *credentials) {
            credentials->setUsername(u"ops"_s);
            credentials->setPassword(u"pw"_s);
        });
        QSignalSpy sent(&smtp, &Smtp::sent);
        smtp.send(u"localhost"_s, mail.port());
        QVERIFY(sent.wait(15000));
        QCOMPARE(sent.first().first().toBool(), delivered);
        QCOMPARE(mail.messageCount(), delivered ? 1 : 0);
        if (delivered)
            QCOMPARE(mail.envelope(1).value(u"tls"_s).toBool(), server[0] != u"none"_s);

        QStringList errors;
        for (const LogEntry &entry : LumApplication::instance()->eventLog()->entries())
            if (entry.level == 0)
                errors << entry.message;
        const QRegularExpression expected(QRegularExpression::anchoredPattern(
            log.replace(u"%1"_s, QString::number(mail.port()))));
        QVERIFY2(expected.match(errors.join(u'\n')).hasMatch(), qPrintable(errors.join(u'\n')));
    }
};

RW_TEST_MAIN(TestSmtpTls)
#include "tst_smtp_tls.moc"
