#include "event_log.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "smtp.h"
#include "test_main.h"

#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {
// aiosmtpd on 127.0.0.1, started for one test (smtp_test_server.py).
class MailServer
{
public:
    explicit MailServer(const QStringList &options = {})
    {
        const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                                   ? QStringLiteral("/usr/bin/python3")
                                   : QStringLiteral("python3");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(python,
                        QStringList{TestEnvironment::sourceDir() +
                                        QStringLiteral("/tests/appengine/smtp_test_server.py"),
                                    m_folder.path()} +
                            options);
        if (m_process.waitForReadyRead(15000))
            m_port = quint16(m_process.readLine().trimmed().toUInt());
    }
    ~MailServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    quint16 port() const { return m_port; }
    int messageCount() const
    {
        return int(QDir(m_folder.path()).entryList({QStringLiteral("*.eml")}).size());
    }
    QByteArray message(int number) const { return read(number, ".eml"); }
    QJsonObject envelope(int number) const
    {
        return QJsonDocument::fromJson(read(number, ".json")).object();
    }

private:
    QByteArray read(int number, const char *suffix) const
    {
        QFile file(m_folder.filePath(QString::number(number) + QLatin1String(suffix)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};

// A scriptable mail server on 127.0.0.1 for what a real one will not do on
// demand. Replies are queued per command word; "answer" stands for a line
// sent in reply to a 334 challenge and "." for the end of the message data.
// A reply may be "<silent>" (no answer) or "<close>" (hang up); a "|" in it
// holds back the rest for 100 ms.
class FakeSmtpServer : public QObject
{
    Q_OBJECT

public:
    FakeSmtpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FakeSmtpServer::onNewConnection);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    void setGreeting(const QByteArray &greeting) { m_greeting = greeting; }
    void script(const QByteArray &key, const QByteArray &reply) { m_replies[key].append(reply); }
    // Every line received outside the message data, without its line end.
    QList<QByteArray> commands() const { return m_commands; }
    QByteArray data() const { return m_data; }
    bool received(const QByteArray &command) const { return m_commands.contains(command); }

private slots:
    void onNewConnection()
    {
        QTcpSocket *socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (!m_greeting.isEmpty())
            socket->write(m_greeting + "\r\n");
    }

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
        QByteArray key = ".";
        if (!std::exchange(m_inData, false)) {
            m_commands.append(line.chopped(2));
            static const QList<QByteArray> words{"EHLO", "HELO", "AUTH", "MAIL",
                                                 "RCPT", "DATA", "QUIT"};
            key = line.split(' ').first().trimmed().toUpper();
            if (!words.contains(key))
                key = "answer";
        } else {
            m_data = line;
        }
        static const QHash<QByteArray, QByteArray> defaults{{"EHLO", "250-fake.test\r\n250 HELP"},
                                                            {"HELO", "250 fake.test"},
                                                            {"AUTH", "504 no"},
                                                            {"answer", "535 no"},
                                                            {"MAIL", "250 OK"},
                                                            {"RCPT", "250 OK"},
                                                            {"DATA", "354 go ahead"},
                                                            {".", "250 queued"},
                                                            {"QUIT", "221 bye"}};
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
    QByteArray m_greeting = "220 fake.test ready";
    QHash<QByteArray, QList<QByteArray>> m_replies;
    QList<QByteArray> m_commands;
    QByteArray m_buffer;
    QByteArray m_data;
    bool m_inData = false;
};

std::unique_ptr<Smtp> makeClient(const QStringList &recipients = {QStringLiteral("a@example.org"),
                                                                  QStringLiteral("b@example.org")})
{
    auto smtp = std::make_unique<Smtp>();
    for (const QString &address : recipients)
        smtp->addRecipient(address);
    smtp->setFrom(QStringLiteral("\"Lumora Rigwarden\" <>"));
    smtp->setSubject(QStringLiteral("Automated report from Lumora Rigwarden"));
    smtp->setBody(QStringLiteral("All uploads succeeded."));
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
std::optional<bool> run(Smtp &smtp, quint16 port)
{
    QSignalSpy sent(&smtp, &Smtp::sent);
    smtp.send(QStringLiteral("127.0.0.1"), port);
    if (sent.isEmpty() && !sent.wait(15000))
        return std::nullopt;
    QTest::qWait(50);
    if (sent.count() != 1)
        return std::nullopt;
    return sent.first().first().toBool();
}

bool logged(const QString &message, int level)
{
    const QList<LogEntry> entries = LumApplication::instance()->eventLog()->entries();
    return std::any_of(entries.begin(), entries.end(), [&](const LogEntry &entry) {
        return entry.category == Category_Smtp && entry.level == level &&
               (entry.message == message || (message.endsWith(QLatin1Char('*')) &&
                                             entry.message.startsWith(message.chopped(1))));
    });
}

const std::optional<bool> Delivered(true);
const std::optional<bool> NotDelivered(false);
} // namespace

class TestSmtp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { LumApplication::instance()->eventLog()->clear(); }

    void deliversTheMessageIntactToARealServer()
    {
        MailServer server;
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        // Lines that begin with a dot, and lone dots, arrive as written.
        smtp->setBody(QStringLiteral("Report\n.\n.hidden\n..two\n.\nend"));
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);

        QCOMPARE(run(*smtp, server.port()), Delivered);

        QCOMPARE(server.messageCount(), 1);
        QCOMPARE(server.envelope(1).value(QStringLiteral("mail_from")).toString(),
                 QStringLiteral("<>"));
        QCOMPARE(server.envelope(1).value(QStringLiteral("rcpt_tos")).toVariant().toStringList(),
                 (QStringList{QStringLiteral("a@example.org"), QStringLiteral("b@example.org")}));
        const QString message = QString::fromUtf8(server.message(1));
        static const QRegularExpression expected(QRegularExpression::anchoredPattern(QStringLiteral(
            "To: a@example.org,b@example.org\r\n"
            "From: \"Lumora Rigwarden\" <>\r\n"
            "Subject: Automated report from Lumora Rigwarden\r\n"
            "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|"
            "Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d UT\r\n"
            "Message-ID: <[0-9a-f]{8}\\.[0-9a-f]{8}@[^>\r\n]+>\r\n"
            "\r\n"
            "Report\r\n\\.\r\n\\.hidden\r\n\\.\\.two\r\n\\.\r\nend\r\n")));
        QVERIFY2(expected.match(message).hasMatch(), qPrintable(message));
        QCOMPARE(asked.count(), 0);

        QVERIFY(logged(QStringLiteral("Sending alert mail"), 1));
        QVERIFY(
            logged(QStringLiteral("Sent: EHLO %1\\r\\n").arg(LocalInterfaces::firstAddress()), 2));
        QVERIFY(logged(QStringLiteral("Rcvd: 250 OK\\r\\n"), 2));
        QVERIFY(logged(QStringLiteral("Sent mail to a@example.org, b@example.org"), 0));
    }

    void logsInToARealServer_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("command");
        QTest::newRow("LOGIN") << QStringLiteral("login") << QStringLiteral("s3cret!")
                               << QStringLiteral("Sent: AUTH LOGIN\\r\\n");
        QTest::newRow("CRAM-MD5 first") << QStringLiteral("cram") << QStringLiteral("s3cret!")
                                        << QStringLiteral("Sent: AUTH CRAM-MD5\\r\\n");
        QTest::newRow("wrong password")
            << QStringLiteral("login") << QStringLiteral("wrong")
            << QStringLiteral("535 5.7.8 Authentication credentials invalid");
    }
    void logsInToARealServer()
    {
        QFETCH(QString, offered);
        QFETCH(QString, password);
        QFETCH(QString, command);
        MailServer server({QStringLiteral("--auth"), offered, QStringLiteral("--user"),
                           QStringLiteral("tim"), QStringLiteral("--password"),
                           QStringLiteral("s3cret!")});
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        answerWith(*smtp, QStringLiteral("tim"), password);
        const bool right = password == QLatin1String("s3cret!");
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(right));
        QCOMPARE(server.messageCount(), right ? 1 : 0);
        QVERIFY(logged(command, command.startsWith(QLatin1String("Sent")) ? 2 : 0));
        // The password never reaches the log, not even in base64.
        QVERIFY(!logged(QStringLiteral("Sent: ") +
                            QString::fromLatin1(password.toUtf8().toBase64()) +
                            QStringLiteral("\\r\\n"),
                        2));
    }

    void ehloRefusedFallsBackToHelo()
    {
        FakeSmtpServer server;
        server.script("EHLO", "500 unrecognised command");
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);
        QCOMPARE(run(*smtp, server.port()), Delivered);
        const QByteArray host = LocalInterfaces::firstAddress().toLatin1();
        QCOMPARE(server.commands(),
                 (QList<QByteArray>{"EHLO " + host, "HELO " + host, "MAIL FROM:<>",
                                    "RCPT TO:<a@example.org>", "DATA", "QUIT"}));
        QCOMPARE(asked.count(), 0);
    }

    void choosesTheAuthenticationMechanism_data()
    {
        QTest::addColumn<QByteArray>("ehloReply");
        QTest::addColumn<QList<QByteArray>>("exchange");
        QTest::addColumn<QList<QByteArray>>("sent");

        // RFC 2195's example: user tim, password tanstaaftanstaaf.
        QTest::newRow("CRAM-MD5 preferred")
            << QByteArray("250-fake.test\r\n250 AUTH LOGIN PLAIN CRAM-MD5")
            << QList<QByteArray>{"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
                                 "235 ok"}
            << QList<QByteArray>{"AUTH CRAM-MD5",
                                 "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"};
        QTest::newRow("LOGIN") << QByteArray("250-fake.test\r\n250 AUTH PLAIN LOGIN")
                               << QList<QByteArray>{"334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6",
                                                    "235 ok"}
                               << QList<QByteArray>{"AUTH LOGIN", "dGlt",
                                                    "dGFuc3RhYWZ0YW5zdGFhZg=="};
        QTest::newRow("PLAIN only: none") << QByteArray("250-fake.test\r\n250 AUTH PLAIN")
                                          << QList<QByteArray>{} << QList<QByteArray>{};
        // The whole reply counts, even when it arrives in pieces.
        QTest::newRow("reply in pieces")
            << QByteArray("250-fake.test\r\n|250-AUTH CRAM-MD5\r\n250 HELP")
            << QList<QByteArray>{"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
                                 "235 ok"}
            << QList<QByteArray>{"AUTH CRAM-MD5",
                                 "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"};
    }
    void choosesTheAuthenticationMechanism()
    {
        QFETCH(QByteArray, ehloReply);
        QFETCH(QList<QByteArray>, exchange);
        QFETCH(QList<QByteArray>, sent);

        FakeSmtpServer server;
        server.script("EHLO", ehloReply);
        if (!exchange.isEmpty())
            server.script("AUTH", exchange.takeFirst());
        for (const QByteArray &reply : exchange)
            server.script("answer", reply);
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("tanstaaftanstaaf"));

        QCOMPARE(run(*smtp, server.port()), Delivered);
        QCOMPARE(server.commands().mid(1, sent.size() + 1),
                 sent + QList<QByteArray>{"MAIL FROM:<>"});
    }

    void triesWithoutCredentialsWhenNoneAreGiven()
    {
        FakeSmtpServer server;
        server.script("EHLO", "250-fake.test\r\n250 AUTH LOGIN");
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);
        QCOMPARE(run(*smtp, server.port()), Delivered);
        QCOMPARE(asked.count(), 1);
        QVERIFY(
            logged(QStringLiteral("No authentication credentials - try sending mail anyway"), 1));
        QCOMPARE(server.commands().at(1), QByteArray("MAIL FROM:<>"));
    }

    void handlesRefusedRecipients_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("first refused")
            << QList<QByteArray>{"550 no such user", "250 OK"} << true
            << QStringLiteral("Sent mail to b@example.org, failed to send to a@example.org");
        QTest::newRow("last refused") << QList<QByteArray>{"250 OK", "550 no such user"} << false
                                      << QStringLiteral("No valid recipients");
        QTest::newRow("other refusal") << QList<QByteArray>{"451 try later", "250 OK"} << false
                                       << QStringLiteral("No valid recipients");
        QTest::newRow("will forward")
            << QList<QByteArray>{"251 will forward", "250 OK"} << true
            << QStringLiteral("Sent mail to a@example.org, b@example.org");
    }
    void handlesRefusedRecipients()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, delivered);
        QFETCH(QString, logLine);
        FakeSmtpServer server;
        for (const QByteArray &reply : replies)
            server.script("RCPT", reply);
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(delivered));
        QVERIFY(logged(logLine, 0));
        QCOMPARE(server.received("DATA"), delivered);
        QVERIFY(server.received("QUIT"));
    }

    // Every way an attempt can go wrong ends it with one sent(false).
    void failuresEndTheAttempt_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("logLine");
        const QString timedOut =
            QStringLiteral("Failed to send alert mail: Socket operation timed out");
        QTest::newRow("message refused")
            << QByteArray(".") << QByteArray("554 5.7.1   rejected as   spam")
            << QStringLiteral("554 5.7.1 rejected as spam");
        QTest::newRow("unexpected greeting")
            << QByteArray("greeting") << QByteArray("554 no service")
            << QStringLiteral("554 no service");
        QTest::newRow("hangs up") << QByteArray("MAIL") << QByteArray("<close>")
                                  << QStringLiteral("Failed to send alert mail: *");
        QTest::newRow("never greets") << QByteArray("greeting") << QByteArray() << timedOut;
        QTest::newRow("falls silent") << QByteArray("RCPT") << QByteArray("<silent>") << timedOut;
        QTest::newRow("overlong reply")
            << QByteArray("greeting") << QByteArray("220 " + QByteArray(10000, 'x'))
            << QStringLiteral("Failed to send alert mail: *");
    }
    void failuresEndTheAttempt()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, reply);
        QFETCH(QString, logLine);
        FakeSmtpServer server;
        if (key == "greeting")
            server.setGreeting(reply);
        else
            server.script(key, reply);
        auto smtp = makeClient();
        smtp->setConnectTimeout(300);
        smtp->setReplyTimeout(300);
        QCOMPARE(run(*smtp, server.port()), NotDelivered);
        QVERIFY(logged(logLine, 0));
        QVERIFY(!logged(QStringLiteral("Sent mail to*"), 0));
    }

    void refusedConnectionFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        QCOMPARE(run(*makeClient(), port), NotDelivered);
        QVERIFY(logged(QStringLiteral("Failed to send alert mail: Connection refused"), 0));
    }

    void deliveredMailCountsEvenWhenQuitGoesUnanswered()
    {
        FakeSmtpServer server;
        server.script("QUIT", "<silent>");
        auto smtp = makeClient();
        smtp->setReplyTimeout(200);
        QCOMPARE(run(*smtp, server.port()), Delivered);
    }

    void envelopeAndHeadersCarryNoForgery()
    {
        FakeSmtpServer server;
        auto smtp = makeClient();
        smtp->setFrom(QStringLiteral("Ops <ops@example.org>"));
        smtp->setSubject(QStringLiteral("Report\r\nBcc: someone@example.org"));
        QCOMPARE(run(*smtp, server.port()), Delivered);
        QVERIFY(server.received("MAIL FROM:<ops@example.org>"));
        QVERIFY(
            server.data().contains("\r\nFrom: Ops <ops@example.org>\r\nSubject: Report  Bcc: "));

        FakeSmtpServer untouched;
        auto forged = makeClient({QStringLiteral("a@example.org>\r\nRCPT TO:<b@example.org")});
        QCOMPARE(run(*forged, untouched.port()), NotDelivered);
        QVERIFY(untouched.commands().isEmpty());
    }

    void noRecipientsNoMail()
    {
        Smtp smtp;
        QSignalSpy sent(&smtp, &Smtp::sent);
        smtp.send(QStringLiteral("127.0.0.1"));
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.first().first().toBool(), false);
        QVERIFY(logged(QStringLiteral("Cannot send mail: no recipients defined"), 0));
    }

    void clientMayBeDeletedOnceSent()
    {
        FakeSmtpServer server;
        QPointer<Smtp> smtp = makeClient().release();
        connect(smtp, &Smtp::sent, smtp, &QObject::deleteLater);
        smtp->send(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY_WITH_TIMEOUT(smtp.isNull(), 15000);
        QVERIFY(server.received("QUIT"));
    }
};

RW_TEST_MAIN(TestSmtp)
#include "tst_smtp.moc"
