#include "fake_ftp_server.h"
#include "ftp_client.h"
#include "test_main.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {

// Debian's pyftpdlib on a free port, serving a temporary folder to rigward.
class RealFtpServer
{
public:
    RealFtpServer()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {TestEnvironment::sourceDir() +
                             QStringLiteral("/tests/tandem_qt/network/ftp_server.py"),
                         m_home.path()});
        if (m_process.waitForReadyRead(10000))
            m_port = static_cast<quint16>(m_process.readLine().trimmed().toUInt());
    }
    ~RealFtpServer()
    {
        m_process.closeWriteChannel(); // the server ends when its stdin closes
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    quint16 m_port = 0;
};

// Every signal of a client as one line of text, in order.
class Recorder : public QObject
{
public:
    explicit Recorder(FtpClient *client)
    {
        connect(client, &FtpClient::stateChanged, this,
                [this](int state) { events << QStringLiteral("state %1").arg(state); });
        connect(client, &FtpClient::commandFinished, this, [this](int id, bool error) {
            events << QStringLiteral("finished %1%2")
                          .arg(id)
                          .arg(error ? QStringLiteral(" error") : QString());
        });
        connect(client, &FtpClient::rawCommandReply, this, [this](int code, const QString &text) {
            events << QStringLiteral("reply %1").arg(code);
            replyTexts << text;
        });
        connect(client, &FtpClient::listInfo, this,
                [this](const UrlInfo &info) { entries << info; });
        connect(client, &FtpClient::done, this, [this](bool error) {
            events << QStringLiteral("done%1").arg(error ? QStringLiteral(" error") : QString());
        });
    }
    bool isDone() const
    {
        return !events.isEmpty() && events.last().startsWith(QLatin1String("done"));
    }
    QStringList events;
    QStringList replyTexts;
    QList<UrlInfo> entries;
};

QByteArray randomBytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

int login(FtpClient &client, quint16 port, const QString &password = QStringLiteral("secret"))
{
    client.connectToHost(QStringLiteral("127.0.0.1"), port);
    client.rawCommand(QStringLiteral("USER rigward\r\n"));
    return client.rawCommand(QStringLiteral("PASS ") + password);
}

} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT

private slots:
    void uploadListAndDownloadWithARealServer()
    {
        RealFtpServer server;
        QVERIFY(server.port() != 0);
        QTemporaryDir local;
        const QByteArray big = randomBytes(3 * 1024 * 1024 + 5);
        QFile source(local.filePath(QStringLiteral("clip.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(big);
        source.close();
        QVERIFY(source.open(QIODevice::ReadOnly));

        FtpClient client;
        Recorder recorder(&client);
        QSignalSpy progress(&client, &FtpClient::dataTransferProgress);
        const int connectId = client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        const int userId = client.rawCommand(QStringLiteral("USER rigward\r\n"));
        const int passId = client.rawCommand(QStringLiteral("PASS secret"));
        const int putFileId = client.put(&source, QStringLiteral("clip.bin"));
        const int putBytesId = client.put(QByteArray("validator"), QStringLiteral("_val_id"));
        const int listId = client.list();
        const int getId = client.get(QStringLiteral("_val_id"));
        QBuffer downloaded;
        downloaded.open(QIODevice::WriteOnly);
        const int getDeviceId = client.get(QStringLiteral("clip.bin"), &downloaded);
        const int closeId = client.close();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 20000);

        QCOMPARE(
            recorder.events,
            (QStringList{
                QStringLiteral("state 1"), QStringLiteral("state 2"), QStringLiteral("state 3"),
                QStringLiteral("finished %1").arg(connectId), QStringLiteral("reply 331"),
                QStringLiteral("finished %1").arg(userId), QStringLiteral("reply 230"),
                QStringLiteral("state 4"), QStringLiteral("finished %1").arg(passId),
                QStringLiteral("finished %1").arg(putFileId),
                QStringLiteral("finished %1").arg(putBytesId),
                QStringLiteral("finished %1").arg(listId), QStringLiteral("finished %1").arg(getId),
                QStringLiteral("finished %1").arg(getDeviceId), QStringLiteral("state 5"),
                QStringLiteral("state 0"), QStringLiteral("finished %1").arg(closeId),
                QStringLiteral("done")}));

        QFile stored(server.home() + QStringLiteral("/clip.bin"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll() == big);
        QCOMPARE(client.readAll(), QByteArray("validator"));
        QVERIFY(downloaded.data() == big);

        QCOMPARE(recorder.entries.size(), 2);
        for (const UrlInfo &entry : recorder.entries) {
            QVERIFY(entry.isFile());
            QVERIFY(entry.lastModified().isValid());
            QCOMPARE(entry.size(), entry.name() == QLatin1String("clip.bin") ? big.size() : 9);
        }
        // Progress of the streamed upload reaches the file's size.
        bool reachedTotal = false;
        for (const QVariantList &report : progress)
            reachedTotal |=
                report.at(0).toLongLong() == big.size() && report.at(1).toLongLong() == big.size();
        QVERIFY(reachedTotal);
    }

    void wrongPasswordFailsAndDropsTheQueue()
    {
        RealFtpServer server;
        FtpClient client;
        Recorder recorder(&client);
        const int passId = login(client, server.port(), QStringLiteral("wrong"));
        client.list();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY(recorder.events.contains(QStringLiteral("reply 530")));
        QCOMPARE(recorder.events.mid(recorder.events.size() - 2),
                 (QStringList{QStringLiteral("finished %1 error").arg(passId),
                              QStringLiteral("done error")}));
        QCOMPARE(client.error(), FtpClient::Error_UnknownError);
        QCOMPARE(client.state(), FtpClient::State_Connected);
    }

    void abortDuringAnUploadKeepsTheSessionUsable()
    {
        RealFtpServer server;
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        QByteArray large = randomBytes(64 * 1024 * 1024);
        QBuffer device(&large);
        device.open(QIODevice::ReadOnly);
        const int putId = client.put(&device, QStringLiteral("large.bin"));
        // Abort from inside the first progress report: surely in the middle.
        int eventsBefore = -1;
        QMetaObject::Connection connection;
        connection = connect(&client, &FtpClient::dataTransferProgress, this, [&] {
            disconnect(connection);
            eventsBefore = recorder.events.size();
            client.abort();
            QCOMPARE(recorder.events.size(), eventsBefore); // nothing at once
        });
        QTRY_VERIFY_WITH_TIMEOUT(eventsBefore >= 0 && recorder.isDone(), 10000);
        QCOMPARE(recorder.events.mid(eventsBefore),
                 (QStringList{QStringLiteral("finished %1 error").arg(putId),
                              QStringLiteral("done error")}));
        QVERIFY(device.pos() < large.size());

        // The replies owed to the aborted transfer do not confuse what follows.
        recorder.events.clear();
        const int listId = client.list();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QCOMPARE(recorder.events,
                 (QStringList{QStringLiteral("finished %1").arg(listId), QStringLiteral("done")}));
    }

    void connectionFailures_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("error");
        QTest::newRow("refused") << QStringLiteral("127.0.0.1")
                                 << int(FtpClient::Error_ConnectionRefused);
        QTest::newRow("unknown host")
            << QStringLiteral("no-such-host.invalid") << int(FtpClient::Error_HostNotFound);
    }
    void connectionFailures()
    {
        QFETCH(QString, host);
        QFETCH(int, error);
        quint16 port;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        FtpClient client;
        Recorder recorder(&client);
        const int id = client.connectToHost(host, port);
        client.rawCommand(QStringLiteral("USER rigward"));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 20000);
        QCOMPARE(int(client.error()), error);
        QCOMPARE(recorder.events.last(2), (QStringList{QStringLiteral("finished %1 error").arg(id),
                                                       QStringLiteral("done error")}));
        QCOMPARE(client.state(), FtpClient::State_Unconnected);
    }

    void commandsWithoutConnectionFail()
    {
        FtpClient client;
        Recorder recorder(&client);
        client.list();
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(client.error(), FtpClient::Error_NotConnected);
    }

    void userAnsweredWith230LogsInAtOnce()
    {
        FakeFtpServer server;
        server.script("USER", "230 no password needed\r\n");
        FtpClient client;
        Recorder recorder(&client);
        client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        const int userId = client.rawCommand(QStringLiteral("USER rigward"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.mid(recorder.events.size() - 4),
                 (QStringList{QStringLiteral("reply 230"), QStringLiteral("state 4"),
                              QStringLiteral("finished %1").arg(userId), QStringLiteral("done")}));
    }

    void multiLineReplies()
    {
        FakeFtpServer server;
        server.setGreeting("220-Welcome\r\n220-to the\r\n220 controller\r\n");
        // Only "214 " ends the reply; lines between may look like anything.
        server.script("SITE", "214-The following commands are recognized:\r\n"
                              "214-HELP\r\n"
                              " NOOP\r\n"
                              "200 not the end either\r\n"
                              "214 Help OK.\r\n");
        server.script("NOOP", "200 fine\r\n");
        FtpClient client;
        Recorder recorder(&client);
        const int connectId = client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        const int id = client.rawCommand(QStringLiteral("SITE HELP"));
        const int noopId = client.rawCommand(QStringLiteral("NOOP"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.replyTexts,
                 (QStringList{QStringLiteral("The following commands are recognized:\n214-HELP\n"
                                             " NOOP\n200 not the end either\nHelp OK."),
                              QStringLiteral("fine")}));
        QCOMPARE(
            recorder.events.mid(3),
            (QStringList{QStringLiteral("finished %1").arg(connectId), QStringLiteral("reply 214"),
                         QStringLiteral("finished %1").arg(id), QStringLiteral("reply 200"),
                         QStringLiteral("finished %1").arg(noopId), QStringLiteral("done")}));
    }

    void malformedReplyDropsTheConnection()
    {
        FakeFtpServer server;
        server.script("USER", "hello there\r\n");
        FtpClient client;
        Recorder recorder(&client);
        client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        const int id = client.rawCommand(QStringLiteral("USER rigward"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.last(3), (QStringList{QStringLiteral("state 0"),
                                                       QStringLiteral("finished %1 error").arg(id),
                                                       QStringLiteral("done error")}));
    }

    void droppedConnectionDuringStorReportsTheStateFirst()
    {
        FakeFtpServer server;
        server.setFault(FakeFtpServer::Fault_DropDuringStor);
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        const int id = client.put(randomBytes(512 * 1024), QStringLiteral("clip.bin"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.last(3), (QStringList{QStringLiteral("state 0"),
                                                       QStringLiteral("finished %1 error").arg(id),
                                                       QStringLiteral("done error")}));
    }

    void abortInsideTheStateSlotLeavesOnlyTheQueuedFinish()
    {
        // How the controller gives up on a lost connection: abort, then delete later.
        FakeFtpServer server;
        server.setFault(FakeFtpServer::Fault_DropDuringStor);
        auto *client = new FtpClient;
        Recorder recorder(client);
        QSignalSpy destroyed(client, &QObject::destroyed);
        connect(client, &FtpClient::stateChanged, client, [client](int state) {
            if (state == FtpClient::State_Unconnected) {
                client->abort();
                client->deleteLater();
            }
        });
        login(*client, server.port());
        const int id = client->put(randomBytes(512 * 1024), QStringLiteral("clip.bin"));
        QTRY_COMPARE(destroyed.count(), 1);
        QCOMPARE(recorder.events.last(3), (QStringList{QStringLiteral("state 0"),
                                                       QStringLiteral("finished %1 error").arg(id),
                                                       QStringLiteral("done error")}));
        QCOMPARE(recorder.events.count(QStringLiteral("state 0")), 1);
    }

    void stalledUploadEndsWithTheInactivityTimeout()
    {
        FakeFtpServer server;
        server.setFault(FakeFtpServer::Fault_StallStor);
        FtpClient client;
        client.setInactivityTimeout(300);
        Recorder recorder(&client);
        login(client, server.port());
        // Large enough to fill the socket buffers of both ends.
        QByteArray large = randomBytes(32 * 1024 * 1024);
        QBuffer device(&large);
        device.open(QIODevice::ReadOnly);
        const int id = client.put(&device, QStringLiteral("clip.bin"));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QCOMPARE(recorder.events.last(3), (QStringList{QStringLiteral("state 0"),
                                                       QStringLiteral("finished %1 error").arg(id),
                                                       QStringLiteral("done error")}));
        QVERIFY(device.pos() < large.size()); // it was not read whole
    }

    void listingKeepsWellFormedLinesOnly()
    {
        FakeFtpServer server;
        server.setListing("total 3\r\n"
                          "-rw-r--r--   1 ftp ftp  1234 Nov  5 14:03 upload.wr_\r\n" +
                          QByteArray(100 * 1024, 'x') +
                          "\r\n"
                          "this is no listing line\r\n"
                          "11-05-13  02:03PM       <DIR>          media\r\n"
                          "drwxr-xr-x 2 ftp ftp 4096 Jan 01  2013 old folder\r\n"
                          "-rw-r--r-- 1 ftp ftp 99 Nov 5 14:03 _val_id");
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        client.list();
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.last(), QStringLiteral("done"));
        QStringList names;
        for (const UrlInfo &entry : recorder.entries)
            names << entry.name();
        QCOMPARE(names, (QStringList{QStringLiteral("upload.wr_"), QStringLiteral("media"),
                                     QStringLiteral("old folder"), QStringLiteral("_val_id")}));
    }

    void extendedPassiveRefusedFallsBackToPassive()
    {
        FakeFtpServer server;
        server.script("EPSV", "500 unknown command\r\n");
        server.setFile("a", "first");
        server.setFile("b", "second");
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        client.get(QStringLiteral("a"));
        client.get(QStringLiteral("b"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.last(), QStringLiteral("done"));
        QCOMPARE(client.readAll(), QByteArray("firstsecond"));
        QCOMPARE(server.commands().count("EPSV"), 1); // then PASV for the rest of the session
        QCOMPARE(server.commands().count("PASV"), 2);
    }

    void lineBreaksInCommandsAreRefused()
    {
        FakeFtpServer server;
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        client.rawCommand(QStringLiteral("PASS x\r\nDELE _val_id"));
        client.put(QByteArray("x"), QStringLiteral("name\r\nDELE _val_id"));
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(client.error(), FtpClient::Error_UnknownError);
        for (const QByteArray &command : server.commands())
            QVERIFY(!command.startsWith("DELE"));
    }

    void blanksAroundAPasswordAreSent()
    {
        FakeFtpServer server;
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port(), QStringLiteral(" two  words \r\n"));
        QTRY_VERIFY(recorder.isDone());
        QVERIFY2(server.commands().contains("PASS  two  words "),
                 server.commands().join('|').constData());
    }

    void uploadFromADeviceThatRunsDry()
    {
        FakeFtpServer server;
        QProcess producer;
        producer.start(QStringLiteral("sh"),
                       {QStringLiteral("-c"), QStringLiteral("printf abc; sleep 0.3; printf def")});
        QVERIFY(producer.waitForStarted());
        producer.closeWriteChannel();
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port());
        client.put(&producer, QStringLiteral("piped"));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY2(recorder.events.last() == QLatin1String("done"), qPrintable(client.errorString()));
        QCOMPARE(server.file("piped"), QByteArray("abcdef"));
    }

    void downloadIntoMemoryIsBounded()
    {
        FakeFtpServer server;
        server.setFile("_val_id", QByteArray(5000, 'v'));
        FtpClient client;
        client.setMaximumDownloadSize(1000);
        Recorder recorder(&client);
        login(client, server.port());
        const int id = client.get(QStringLiteral("_val_id"));
        QTRY_VERIFY(recorder.isDone());
        QVERIFY(recorder.events.contains(QStringLiteral("finished %1 error").arg(id)));
        QVERIFY(client.bytesAvailable() <= 1000);
    }
};

RW_TEST_MAIN(TestFtpClient)
#include "tst_ftp_client.moc"
