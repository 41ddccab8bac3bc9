#include "event_log.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "mail_settings.h"
#include "smtp.h"
#include "smtp_test_server.h"
#include "test_main.h"

#include <QHash>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
// A scriptable mail server on 127.0.0.1 for what a real one will not do on
// demand. Replies are queued per command word; "answer" stands for a line
// sent in reply to a 334 challenge and "." for the end of the message data.
// A reply may be "<silent>" (no answer) or "<close>" (hang up); a "|" in it
// holds back the rest for 100 ms.
class FakeSmtpServer : public QObject
{
public:
    FakeSmtpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            if (!greeting.isEmpty())
                socket->write(greeting + "\r\n");
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    void script(const QByteArray &key, const QByteArray &reply) { m_replies[key].append(reply); }

    QByteArray greeting = "220 fake.test ready";
    QList<QByteArray> commands; // every line outside the message data, without its line end
    QByteArray data;

private:
    void onReadyRead(QTcpSocket *socket)
    {
        m_buffer += socket->readAll();
        const QByteArray end = m_inData ? "\r\n.\r\n" : "\r\n";
        const qsizetype at = m_buffer.indexOf(end);
        if (at < 0)
            return;
        const QByteArray line = m_buffer.left(at + end.size());
        m_buffer.remove(0, line.size());
        static const QHash<QByteArray, QByteArray> defaults{{"EHLO", "250-fake.test\r\n250 HELP"},
                                                            {"HELO", "250 fake.test"},
                                                            {"AUTH", "504 no"},
                                                            {"answer", "535 no"},
                                                            {"MAIL", "250 OK"},
                                                            {"RCPT", "250 OK"},
                                                            {"DATA", "354 go ahead"},
                                                            {".", "250 queued"},
                                                            {"QUIT", "221 bye"}};
        QByteArray key = ".";
        if (std::exchange(m_inData, false)) {
            data = line;
        } else {
            commands.append(line.chopped(2));
            key = line.split(' ').first().trimmed().toUpper();
            if (!defaults.contains(key))
                key = "answer";
        }
        QList<QByteArray> &queue = m_replies[key];
        const QByteArray reply = queue.isEmpty() ? defaults.value(key) : queue.takeFirst();
        m_inData = key == "DATA" && reply.startsWith("354");
        if (reply == "<close>" || key == "QUIT")
            QTimer::singleShot(0, socket, [socket] { socket->disconnectFromHost(); });
        if (reply != "<silent>" && reply != "<close>") {
            const qsizetype pause = reply.indexOf('|');
            socket->write(pause < 0 ? reply + "\r\n" : reply.left(pause));
            if (pause >= 0) {
                const QByteArray rest = reply.mid(pause + 1) + "\r\n";
                QTimer::singleShot(100, socket, [socket, rest] { socket->write(rest); });
            }
        }
        onReadyRead(socket);
    }

    QTcpServer m_server;
    QHash<QByteArray, QList<QByteArray>> m_replies;
    QByteArray m_buffer;
    bool m_inData = false;
};

std::unique_ptr<Smtp> makeClient(const QStringList &recipients = {u"a@example.org"_s,
                                                                  u"b@example.org"_s})
{
    auto smtp = std::make_unique<Smtp>();
    for (const QString &address : recipients)
        smtp->addRecipient(address);
    smtp->setFrom(u"\"Lumora Rigwarden\" <>"_s);
    smtp->setSubject(u"Automated report from Lumora Rigwarden"_s);
    smtp->setBody(u"All uploads succeeded."_s);
    return smtp;
}

void answerWith(Smtp &smtp, const QString &username, const QString &password)
{
    QObject::connect(&smtp, &Smtp::authenticationRequired,
                     [username, password](SmtpAuthenicator *credentials) {
                         credentials->setUsername(username);
                         credentials->setPassword(password);
                     });
}

// Sends and waits for the outcome; nothing when sent(bool) did not come, or came twice.
std::optional<bool> run(Smtp &smtp, quint16 port, const QString &host = u"127.0.0.1"_s)
{
    QSignalSpy sent(&smtp, &Smtp::sent);
    smtp.send(host, port);
    if (sent.isEmpty() && !sent.wait(15000))
        return std::nullopt;
    QTest::qWait(50);
    if (sent.count() != 1)
        return std::nullopt;
    return sent.first().first().toBool();
}

// Whether the mail client logged `message` at `level`; a final '*' matches any rest.
bool logged(const QString &message, int level)
{
    const QList<LogEntry> entries = LumApplication::instance()->eventLog()->entries();
    return std::any_of(entries.begin(), entries.end(), [&](const LogEntry &entry) {
        return entry.category == Category_Smtp && entry.level == level &&
               (entry.message == message ||
                (message.endsWith(u'*') && entry.message.startsWith(message.chopped(1))));
    });
}

// RFC 2195's example: user tim, password tanstaaftanstaaf.
const QByteArray CramChallenge = "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+";
const QByteArray CramAnswer = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw";
} // namespace

class TestSmtp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { LumApplication::instance()->eventLog()->clear(); }

    void recipientsMustLookLikeAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("dots, plus, percent") << u"a.b+c%d@mail.example.org"_s << true;
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

    // Against aiosmtpd over STARTTLS, over TLS from the first byte and in
    // plain text, trusting the test server's own authority only; `server`:
    // TLS, certificate and the password given for "ops" (the server's is
    // "pw"). `log`: the whole level-0 log, %1 standing for the server's port.
    // A server that offers STARTTLS refuses AUTH and MAIL before it. The
    // password never reaches the log, not even in base64. A message arrives
    // intact: lines that begin with a dot, and lone dots, as written.
    void sendsOnlyOverTrustedTls_data()
    {
        QTest::addColumn<QStringList>("server");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("log");
        const QString sent = u"Sent mail to a@example.org, b@example.org"_s;
        const QString unsecured =
            u"Failed to send alert mail: the connection to localhost:%1 could not be secured: "_s;
        const QString plain = u"Logging in to localhost:%1 without encryption: the server does "
                              "not offer STARTTLS\n"_s;
        QTest::newRow("STARTTLS") << QStringList{u"starttls"_s, u"trusted"_s, u"pw"_s} << true
                                  << sent;
        QTest::newRow("TLS from the first byte")
            << QStringList{u"implicit"_s, u"trusted"_s, u"pw"_s} << true << sent;
        QTest::newRow("untrusted authority")
            << QStringList{u"starttls"_s, u"self-signed"_s, u"pw"_s} << false
            << unsecured + u".*self-signed.*"_s;
        QTest::newRow("another host's certificate")
            << QStringList{u"implicit"_s, u"other-host"_s, u"pw"_s} << false
            << unsecured + u".*host name did not match.*"_s;
        QTest::newRow("no STARTTLS offered")
            << QStringList{u"none"_s, u"trusted"_s, u"pw"_s} << true << plain + sent;
        QTest::newRow("wrong password")
            << QStringList{u"none"_s, u"trusted"_s, u"wrong"_s} << false
            << plain + u"535 5.7.8 Authentication credentials invalid(\n.*)*"_s;
    }
    void sendsOnlyOverTrustedTls()
    {
        QFETCH(QStringList, server);
        QFETCH(bool, delivered);
        QFETCH(QString, log);
        SmtpTestServer mail({u"--tls"_s, server[0], u"--certificate"_s, server[1], u"--auth"_s,
                             u"login"_s, u"--user"_s, u"ops"_s, u"--password"_s, u"pw"_s});
        QVERIFY(mail.port() != 0);
        auto smtp = makeClient();
        smtp->setBody(u"Report\n.\n.hidden\n..two\n.\nend"_s);
        smtp->setCaCertificates(QSslCertificate::fromPath(mail.folder() + u"/ca.pem"_s));
        if (server[0] == u"implicit"_s)
            smtp->setImplicitTlsPort(mail.port());
        answerWith(*smtp, u"ops"_s, server[2]);
        QCOMPARE(run(*smtp, mail.port(), u"localhost"_s), std::optional<bool>(delivered));
        QCOMPARE(mail.messageCount(), delivered ? 1 : 0);
        if (delivered) {
            const QJsonObject envelope = mail.envelope(1);
            QCOMPARE(envelope.value(u"tls"_s).toBool(), server[0] != u"none"_s);
            QCOMPARE(envelope.value(u"mail_from"_s).toString(), u"<>"_s);
            QCOMPARE(envelope.value(u"rcpt_tos"_s).toVariant().toStringList(),
                     (QStringList{u"a@example.org"_s, u"b@example.org"_s}));
            static const QRegularExpression expected(QRegularExpression::anchoredPattern(
                u"To: a@example.org,b@example.org\r\n"
                "From: \"Lumora Rigwarden\" <>\r\n"
                "Subject: Automated report from Lumora Rigwarden\r\n"
                "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|"
                "Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d UT\r\n"
                "Message-ID: <[0-9a-f]{8}\\.[0-9a-f]{8}@[^>\r\n]+>\r\n"
                "\r\n"
                "Report\r\n\\.\r\n\\.hidden\r\n\\.\\.two\r\n\\.\r\nend\r\n"_s));
            QVERIFY2(expected.match(mail.message(1)).hasMatch(), qPrintable(mail.message(1)));
            QVERIFY(logged(u"Sending alert mail"_s, 1));
            QVERIFY(logged(u"Sent: EHLO %1\\r\\n"_s.arg(LocalInterfaces::firstAddress()), 2));
            QVERIFY(logged(u"Rcvd: 250 OK\\r\\n"_s, 2));
        }
        QVERIFY(!logged(u"Sent: %1\\r\\n"_s.arg(QLatin1String(server[2].toUtf8().toBase64())), 2));

        QStringList errors;
        for (const LogEntry &entry : LumApplication::instance()->eventLog()->entries())
            if (entry.level == 0)
                errors << entry.message;
        const QRegularExpression expected(QRegularExpression::anchoredPattern(
            log.replace(u"%1"_s, QString::number(mail.port()))));
        QVERIFY2(expected.match(errors.join(u'\n')).hasMatch(), qPrintable(errors.join(u'\n')));
    }

    void choosesTheAuthenticationMechanism_data()
    {
        QTest::addColumn<QByteArray>("ehloReply");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QList<QByteArray>>("exchange");
        QTest::addColumn<QList<QByteArray>>("sent");
        using Lines = QList<QByteArray>;
        const Lines cram{CramChallenge, "235 ok"};
        const Lines cramSent{"AUTH CRAM-MD5", CramAnswer};
        const QByteArray ehlo = "250-fake.test\r\n";
        QTest::newRow("CRAM-MD5 preferred")
            << ehlo + "250 AUTH LOGIN PLAIN CRAM-MD5" << u"tim"_s << cram << cramSent;
        QTest::newRow("LOGIN") << ehlo + "250 AUTH PLAIN LOGIN" << u"tim"_s
                               << Lines{"334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6", "235 ok"}
                               << Lines{"AUTH LOGIN", "dGlt", "dGFuc3RhYWZ0YW5zdGFhZg=="};
        QTest::newRow("PLAIN only: none")
            << ehlo + "250 AUTH PLAIN" << u"tim"_s << Lines{} << Lines{};
        // The whole reply counts, even when it arrives in pieces.
        QTest::newRow("reply in pieces")
            << ehlo + "|250-AUTH CRAM-MD5\r\n250 HELP" << u"tim"_s << cram << cramSent;
        QTest::newRow("no AUTH offered") << ehlo + "250 HELP" << u"tim"_s << Lines{} << Lines{};
        QTest::newRow("no credentials: tries without")
            << ehlo + "250 AUTH LOGIN" << QString() << Lines{} << Lines{};
        QTest::newRow("EHLO refused: HELO")
            << "500 unrecognised command"_ba << u"tim"_s << Lines{}
            << Lines{"HELO " + LocalInterfaces::firstAddress().toLatin1()};
    }
    void choosesTheAuthenticationMechanism()
    {
        QFETCH(QByteArray, ehloReply);
        QFETCH(QString, user);
        QFETCH(QList<QByteArray>, exchange);
        QFETCH(QList<QByteArray>, sent);
        FakeSmtpServer server;
        server.script("EHLO", ehloReply);
        if (!exchange.isEmpty())
            server.script("AUTH", exchange.takeFirst());
        for (const QByteArray &reply : exchange)
            server.script("answer", reply);
        auto smtp = makeClient({u"a@example.org"_s});
        if (!user.isEmpty())
            answerWith(*smtp, user, u"tanstaaftanstaaf"_s);
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);

        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QCOMPARE(server.commands.mid(1, sent.size() + 1), sent + QList<QByteArray>{"MAIL FROM:<>"});
        QCOMPARE(asked.count(), ehloReply.contains("AUTH") ? 1 : 0);
        QCOMPARE(logged(u"No authentication credentials - try sending mail anyway"_s, 1),
                 user.isEmpty());
    }

    // Every way an attempt can go wrong ends it with one sent(false); refused
    // recipients are left out as long as one is accepted, and a mail
    // delivered counts even when QUIT goes unanswered.
    void dialogueOutcomes_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("logLine");
        const auto row = [](const char *name, const QByteArray &key,
                            const QList<QByteArray> &replies, bool delivered, const char *logLine) {
            QTest::newRow(name) << key << replies << delivered << QString::fromUtf8(logLine);
        };
        const char *timedOut = "Failed to send alert mail: Socket operation timed out";
        const char *anyFailure = "Failed to send alert mail: *";
        const char *none = "No valid recipients";
        row("message refused", ".", {"554 5.7.1   rejected as   spam"}, false,
            "554 5.7.1 rejected as spam");
        row("unexpected greeting", "greeting", {"554 no service"}, false, "554 no service");
        row("hangs up", "MAIL", {"<close>"}, false, anyFailure);
        row("never greets", "greeting", {""}, false, timedOut);
        row("falls silent", "RCPT", {"<silent>"}, false, timedOut);
        row("overlong reply", "greeting", {"220 " + QByteArray(10000, 'x')}, false, anyFailure);
        row("no recipients", "recipient", {""}, false, "Cannot send mail: no recipients defined");
        row("forged recipient", "recipient", {"a@example.org>\r\nRCPT TO:<b@example.org"}, false,
            "Failed to send alert mail: Invalid recipient address*");
        row("refused connection", "port", {}, false,
            "Failed to send alert mail: Connection refused");
        row("first recipient refused", "RCPT", {"550 no such user", "250 OK"}, true,
            "Sent mail to b@example.org, failed to send to a@example.org");
        row("last recipient refused", "RCPT", {"250 OK", "550 no such user"}, false, none);
        row("other refusal", "RCPT", {"451 try later", "250 OK"}, false, none);
        row("will forward", "RCPT", {"251 will forward", "250 OK"}, true,
            "Sent mail to a@example.org, b@example.org");
        row("QUIT unanswered", "QUIT", {"<silent>"}, true,
            "Sent mail to a@example.org, b@example.org");
    }
    void dialogueOutcomes()
    {
        QFETCH(QByteArray, key);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, delivered);
        QFETCH(QString, logLine);
        FakeSmtpServer server;
        quint16 port = server.port();
        if (key == "greeting") {
            server.greeting = replies.first();
        } else if (key == "port") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            port = closed.serverPort(); // free again once it is gone
        } else if (key != "recipient") {
            for (const QByteArray &reply : replies)
                server.script(key, reply);
        }
        auto smtp = key != "recipient" ? makeClient()
                    : replies.first().isEmpty()
                        ? makeClient({})
                        : makeClient({QString::fromLatin1(replies.first())});
        smtp->setConnectTimeout(300);
        smtp->setReplyTimeout(300);
        smtp->setFrom(u"Ops <ops@example.org>"_s);
        smtp->setSubject(u"Report\r\nBcc: someone@example.org"_s);
        QCOMPARE(run(*smtp, port), std::optional<bool>(delivered));
        QVERIFY(logged(logLine, 0));
        QCOMPARE(logged(u"Sent mail to*"_s, 0), delivered);
        if (key == "recipient")
            QVERIFY(server.commands.isEmpty()); // nothing reaches the server
        if (delivered) {                        // and no header was forged
            QVERIFY(server.commands.contains("MAIL FROM:<ops@example.org>"));
            QVERIFY(
                server.data.contains("\r\nFrom: Ops <ops@example.org>\r\nSubject: Report  Bcc: "));
        }
        if (replies.size() == 2) {
            QCOMPARE(server.commands.contains("DATA"), delivered);
            QVERIFY(server.commands.contains("QUIT"));
        }
    }

    void clientMayBeDeletedOnceSent()
    {
        FakeSmtpServer server;
        QPointer<Smtp> smtp = makeClient().release();
        connect(smtp, &Smtp::sent, smtp, &QObject::deleteLater);
        smtp->send(u"127.0.0.1"_s, server.port());
        QTRY_VERIFY_WITH_TIMEOUT(smtp.isNull(), 15000);
        QVERIFY(server.commands.contains("QUIT"));
    }
};

RW_TEST_MAIN(TestSmtp)
#include "tst_smtp.moc"
