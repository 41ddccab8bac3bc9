#include "event_log.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "smtp.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
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
const QString Sender = QStringLiteral("\"Lumora Rigwarden\" <>");

// aiosmtpd on 127.0.0.1, started for one test (smtp_test_server.py).
class MailServer
{
public:
    explicit MailServer(const QStringList &options)
    {
        const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                                   ? QStringLiteral("/usr/bin/python3")
                                   : QStringLiteral("python3");
        const QString script =
            TestEnvironment::sourceDir() + QStringLiteral("/tests/appengine/smtp_test_server.py");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(python, QStringList{script, m_folder.path()} + options);
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
// A reply may be "<silent>" (no answer), "<close>" (hang up), or contain
// "<pause>" where it is split into pieces sent 100 ms apart.
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
        for (;;) {
            if (m_inData) {
                const qsizetype end = m_buffer.indexOf("\r\n.\r\n");
                if (end < 0)
                    return;
                m_data = m_buffer.left(end + 5);
                m_buffer.remove(0, end + 5);
                m_inData = false;
                respond(socket, ".");
                continue;
            }
            const qsizetype end = m_buffer.indexOf("\r\n");
            if (end < 0)
                return;
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 2);
            m_commands.append(line);
            static const QList<QByteArray> words{"EHLO", "HELO", "AUTH", "MAIL",
                                                 "RCPT", "DATA", "QUIT"};
            const QByteArray word = line.split(' ').first().toUpper();
            const QByteArray key = words.contains(word) ? word : QByteArray("answer");
            const QByteArray reply = respond(socket, key);
            m_inData = key == "DATA" && reply.startsWith("354");
        }
    }

    QByteArray respond(QTcpSocket *socket, const QByteArray &key)
    {
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
        if (reply == "<silent>")
            return reply;
        if (reply == "<close>") {
            socket->disconnectFromHost();
            return reply;
        }
        int delay = 0;
        QList<QByteArray> parts;
        QByteArray rest = reply;
        for (qsizetype at; (at = rest.indexOf("<pause>")) >= 0;) {
            parts.append(rest.left(at));
            rest.remove(0, at + 7);
        }
        parts.append(rest + "\r\n");
        for (const QByteArray &part : parts) {
            if (delay == 0)
                socket->write(part);
            else
                QTimer::singleShot(delay, socket, [socket, part] { socket->write(part); });
            delay += 100;
        }
        if (key == "QUIT")
            socket->disconnectFromHost();
        return reply;
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
    smtp->setFrom(Sender);
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

QList<LogEntry> logEntries()
{
    return LumApplication::instance()->eventLog()->entries();
}

bool logged(const QString &message, int level)
{
    for (const LogEntry &entry : logEntries()) {
        if (entry.message == message && entry.level == level && entry.category == Category_Smtp)
            return true;
    }
    return false;
}

bool loggedContaining(const QString &text)
{
    for (const LogEntry &entry : logEntries()) {
        if (entry.message.contains(text))
            return true;
    }
    return false;
}
} // namespace

class TestSmtp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { LumApplication::instance()->eventLog()->clear(); }

    void deliversTheMessageIntactToARealServer()
    {
        MailServer server({});
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        // Lines that begin with a dot, and one that is a lone dot, arrive as written.
        smtp->setBody(QStringLiteral("Report\n.\n.hidden\n..two\n.\nend"));
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);

        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));

        QCOMPARE(server.messageCount(), 1);
        const QJsonObject envelope = server.envelope(1);
        QCOMPARE(envelope.value(QStringLiteral("mail_from")).toString(), QStringLiteral("<>"));
        QCOMPARE(envelope.value(QStringLiteral("rcpt_tos")).toVariant().toStringList(),
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
        QVERIFY(logged(QStringLiteral("Sent: MAIL FROM:<>\\r\\n"), 2));
        QVERIFY(logged(QStringLiteral("Rcvd: 250 OK\\r\\n"), 2));
        QVERIFY(logged(QStringLiteral("Sent mail to a@example.org, b@example.org"), 0));
    }

    void messageNumbersGoUp()
    {
        FakeSmtpServer first;
        FakeSmtpServer second;
        QCOMPARE(run(*makeClient(), first.port()), std::optional<bool>(true));
        QCOMPARE(run(*makeClient(), second.port()), std::optional<bool>(true));
        static const QRegularExpression id(QStringLiteral("Message-ID: <([0-9a-f]{8})\\."));
        const uint a = id.match(QString::fromLatin1(first.data())).captured(1).toUInt(nullptr, 16);
        const uint b = id.match(QString::fromLatin1(second.data())).captured(1).toUInt(nullptr, 16);
        QCOMPARE(b, a + 1);
    }

    void logsInWithLoginOnARealServer()
    {
        MailServer server({QStringLiteral("--auth"), QStringLiteral("login"),
                           QStringLiteral("--user"), QStringLiteral("tim"),
                           QStringLiteral("--password"), QStringLiteral("s3cret!")});
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("s3cret!"));
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QCOMPARE(server.messageCount(), 1);
        QVERIFY(server.envelope(1).value(QStringLiteral("authenticated")).toBool());
        QVERIFY(logged(QStringLiteral("Sent: AUTH LOGIN\\r\\n"), 2));
        // The password is never written to the log, not even in base64.
        QVERIFY(!loggedContaining(QString::fromLatin1(QByteArray("s3cret!").toBase64())));
    }

    void refusedLoginEndsTheAttempt()
    {
        MailServer server({QStringLiteral("--auth"), QStringLiteral("login"),
                           QStringLiteral("--user"), QStringLiteral("tim"),
                           QStringLiteral("--password"), QStringLiteral("right")});
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("wrong"));
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(false));
        QCOMPARE(server.messageCount(), 0);
        QVERIFY(logged(QStringLiteral("535 5.7.8 Authentication credentials invalid"), 0));
        QVERIFY(logged(QStringLiteral("Sent: QUIT\\r\\n"), 2));
    }

    void logsInWithCramMd5OnARealServer()
    {
        MailServer server({QStringLiteral("--auth"), QStringLiteral("cram"),
                           QStringLiteral("--user"), QStringLiteral("tim"),
                           QStringLiteral("--password"), QStringLiteral("tanstaaf")});
        QVERIFY(server.port() != 0);
        auto smtp = makeClient();
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("tanstaaf"));
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QVERIFY(logged(QStringLiteral("Sent: AUTH CRAM-MD5\\r\\n"), 2));
        QVERIFY(server.envelope(1).value(QStringLiteral("authenticated")).toBool());
    }

    void ehloRefusedFallsBackToHelo()
    {
        FakeSmtpServer server;
        server.script("EHLO", "500 unrecognised command");
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        const QByteArray host = LocalInterfaces::firstAddress().toLatin1();
        QCOMPARE(server.commands(),
                 (QList<QByteArray>{"EHLO " + host, "HELO " + host, "MAIL FROM:<>",
                                    "RCPT TO:<a@example.org>", "DATA", "QUIT"}));
        QCOMPARE(asked.count(), 0);
    }

    void choosesTheAuthenticationMechanism_data()
    {
        QTest::addColumn<QByteArray>("offered");
        QTest::addColumn<QList<QByteArray>>("exchange");
        QTest::addColumn<QList<QByteArray>>("sent");

        // RFC 2195's example: user tim, password tanstaaftanstaaf.
        QTest::newRow("CRAM-MD5 preferred")
            << QByteArray("LOGIN PLAIN CRAM-MD5")
            << QList<QByteArray>{"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
                                 "235 ok"}
            << QList<QByteArray>{"AUTH CRAM-MD5",
                                 "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"};
        QTest::newRow("LOGIN") << QByteArray("PLAIN LOGIN")
                               << QList<QByteArray>{"334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6",
                                                    "235 ok"}
                               << QList<QByteArray>{"AUTH LOGIN", "dGlt",
                                                    "dGFuc3RhYWZ0YW5zdGFhZg=="};
        // Prompts other than "Username:" and "Password:" are answered in order.
        QTest::newRow("LOGIN with other prompts")
            << QByteArray("LOGIN")
            << QList<QByteArray>{"334 VXNlciBOYW1lAA==", "334 UGFzc3dvcmQA", "235 ok"}
            << QList<QByteArray>{"AUTH LOGIN", "dGlt", "dGFuc3RhYWZ0YW5zdGFhZg=="};
        QTest::newRow("PLAIN only: none")
            << QByteArray("PLAIN") << QList<QByteArray>{} << QList<QByteArray>{};
    }
    void choosesTheAuthenticationMechanism()
    {
        QFETCH(QByteArray, offered);
        QFETCH(QList<QByteArray>, exchange);
        QFETCH(QList<QByteArray>, sent);

        FakeSmtpServer server;
        server.script("EHLO", "250-fake.test\r\n250-AUTH " + offered + "\r\n250 HELP");
        if (!exchange.isEmpty())
            server.script("AUTH", exchange.takeFirst());
        for (const QByteArray &reply : exchange)
            server.script("answer", reply);
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("tanstaaftanstaaf"));

        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QCOMPARE(server.commands().mid(1, sent.size()), sent);
        QCOMPARE(server.commands().at(1 + sent.size()), QByteArray("MAIL FROM:<>"));
    }

    void triesWithoutCredentialsWhenNoneAreGiven()
    {
        FakeSmtpServer server;
        server.script("EHLO", "250-fake.test\r\n250 AUTH LOGIN");
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        QSignalSpy asked(smtp.get(), &Smtp::authenticationRequired);
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QCOMPARE(asked.count(), 1);
        QVERIFY(
            logged(QStringLiteral("No authentication credentials - try sending mail anyway"), 1));
        QCOMPARE(server.commands().at(1), QByteArray("MAIL FROM:<>"));
    }

    void waitsForTheWholeOfAReplySentInPieces()
    {
        FakeSmtpServer server;
        server.script("EHLO", "250-fake.test\r\n<pause>250-AUTH CRAM-MD5\r\n250 HELP");
        server.script("AUTH", "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+");
        server.script("answer", "235 ok");
        auto smtp = makeClient({QStringLiteral("a@example.org")});
        answerWith(*smtp, QStringLiteral("tim"), QStringLiteral("tanstaaftanstaaf"));
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QCOMPARE(server.commands().at(1), QByteArray("AUTH CRAM-MD5"));
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

    void refusedMessageIsNotReportedAsSent()
    {
        FakeSmtpServer server;
        server.script(".", "554 5.7.1   rejected as   spam");
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(false));
        QVERIFY(logged(QStringLiteral("554 5.7.1 rejected as spam"), 0));
        QVERIFY(!loggedContaining(QStringLiteral("Sent mail to")));
        QVERIFY(server.received("QUIT"));
    }

    void unexpectedGreetingIsAnsweredWithQuit()
    {
        FakeSmtpServer server;
        server.setGreeting("554 no service");
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(false));
        QCOMPARE(server.commands(), QList<QByteArray>{"QUIT"});
        QVERIFY(logged(QStringLiteral("554 no service"), 0));
    }

    void endsWhenTheServerHangsUp()
    {
        FakeSmtpServer server;
        server.script("MAIL", "<close>");
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(false));
        QVERIFY(loggedContaining(QStringLiteral("Failed to send alert mail: ")));
    }

    void deliveredMailCountsEvenWhenQuitGoesUnanswered()
    {
        FakeSmtpServer server;
        server.script("QUIT", "<close>");
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(true));

        FakeSmtpServer silent;
        silent.script("QUIT", "<silent>");
        auto smtp = makeClient();
        smtp->setReplyTimeout(200);
        QCOMPARE(run(*smtp, silent.port()), std::optional<bool>(true));
    }

    void refusedConnectionFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        QCOMPARE(run(*makeClient(), port), std::optional<bool>(false));
        QVERIFY(logged(QStringLiteral("Failed to send alert mail: Connection refused"), 0));
    }

    void silentServerHitsTheConnectLimit()
    {
        FakeSmtpServer server;
        server.setGreeting(QByteArray());
        auto smtp = makeClient();
        smtp->setConnectTimeout(300);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(false));
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(logged(QStringLiteral("Failed to send alert mail: Socket operation timed out"), 0));
    }

    void serverFallingSilentIsGivenUp()
    {
        FakeSmtpServer server;
        server.script("RCPT", "<silent>");
        auto smtp = makeClient();
        smtp->setReplyTimeout(300);
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(false));
        QVERIFY(logged(QStringLiteral("Failed to send alert mail: Socket operation timed out"), 0));
    }

    void overlongReplyIsRefused()
    {
        FakeSmtpServer server;
        server.setGreeting("220 " + QByteArray(10000, 'x'));
        QCOMPARE(run(*makeClient(), server.port()), std::optional<bool>(false));
        QVERIFY(loggedContaining(QStringLiteral("Failed to send alert mail: ")));
    }

    void envelopeSenderIsTheAddressAlone_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("mailFrom");
        QTest::addColumn<QByteArray>("fromHeader");
        QTest::newRow("no address") << Sender << QByteArray("MAIL FROM:<>")
                                    << QByteArray("From: \"Lumora Rigwarden\" <>\r\n");
        QTest::newRow("name and address")
            << QStringLiteral("Ops <ops@example.org>") << QByteArray("MAIL FROM:<ops@example.org>")
            << QByteArray("From: Ops <ops@example.org>\r\n");
        QTest::newRow("bare address")
            << QStringLiteral("ops@example.org") << QByteArray("MAIL FROM:<ops@example.org>")
            << QByteArray("From: ops@example.org\r\n");
        QTest::newRow("none") << QString() << QByteArray("MAIL FROM:<>") << QByteArray();
    }
    void envelopeSenderIsTheAddressAlone()
    {
        QFETCH(QString, from);
        QFETCH(QByteArray, mailFrom);
        QFETCH(QByteArray, fromHeader);
        FakeSmtpServer server;
        auto smtp = makeClient();
        smtp->setFrom(from);
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QVERIFY(server.received(mailFrom));
        QCOMPARE(server.data().contains("From: "), !fromHeader.isEmpty());
        if (!fromHeader.isEmpty())
            QVERIFY(server.data().contains(fromHeader));
    }

    void lineBreaksCannotAddCommandsOrHeaders()
    {
        FakeSmtpServer server;
        auto smtp = makeClient();
        smtp->setSubject(QStringLiteral("Report\r\nBcc: someone@example.org"));
        QCOMPARE(run(*smtp, server.port()), std::optional<bool>(true));
        QVERIFY(server.data().contains("\r\nSubject: Report  Bcc: someone@example.org\r\n"));

        FakeSmtpServer untouched;
        auto forged = makeClient({QStringLiteral("a@example.org>\r\nRCPT TO:<b@example.org")});
        QCOMPARE(run(*forged, untouched.port()), std::optional<bool>(false));
        QVERIFY(untouched.commands().isEmpty());
        QVERIFY(loggedContaining(QStringLiteral("Failed to send alert mail: ")));
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
