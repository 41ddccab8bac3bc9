#include "fake_ftp_server.h"
#include "ftp_client.h"
#include "test_main.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Debian's pyftpdlib on a free port, serving a temporary folder to rigward.
class RealFtpServer
{
public:
    RealFtpServer()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(u"/usr/bin/python3"_s,
                        {TestEnvironment::sourceDir() + u"/tests/tandem_qt/network/ftp_server.py"_s,
                         m_home.path()});
        if (m_process.waitForReadyRead(10000))
            m_port = quint16(m_process.readLine().trimmed().toUInt());
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

// Every signal of a client as one text: "state 1; finished 2 error; reply 331; done".
class Recorder : public QObject
{
public:
    explicit Recorder(FtpClient *client)
    {
        connect(client, &FtpClient::stateChanged, this,
                [this](int state) { events << u"state %1"_s.arg(state); });
        connect(client, &FtpClient::commandFinished, this, [this](int id, bool error) {
            events << u"finished %1%2"_s.arg(id).arg(error ? u" error"_s : QString());
        });
        connect(client, &FtpClient::rawCommandReply, this, [this](int code, const QString &text) {
            events << u"reply %1"_s.arg(code);
            replyTexts << text;
        });
        connect(client, &FtpClient::listInfo, this,
                [this](const UrlInfo &info) { entries << info; });
        connect(client, &FtpClient::done, this,
                [this](bool error) { events << (error ? u"done error"_s : u"done"_s); });
    }
    bool isDone() const { return !events.isEmpty() && events.last().startsWith(u"done"_s); }
    QString trace() const { return events.join(u"; "_s); }

    QStringList events;
    QStringList replyTexts;
    QList<UrlInfo> entries;
};

// How a command that breaks the connection ends.
QString lostWith(int id)
{
    return u"state 0; finished %1 error; done error"_s.arg(id);
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

int login(FtpClient &client, quint16 port, const QString &password = u"secret"_s)
{
    client.connectToHost(u"127.0.0.1"_s, port);
    client.rawCommand(u"USER rigward\r\n"_s);
    return client.rawCommand(u"PASS "_s + password);
}

// A client and a scriptable server; scripts set before the event loop runs apply.
struct FakeSession
{
    FakeFtpServer server;
    FtpClient client;
    Recorder recorder{&client};
};

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
        QFile source(local.filePath(u"clip.bin"_s));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(big) == big.size());
        source.close();
        QVERIFY(source.open(QIODevice::ReadOnly));
        QBuffer downloaded;
        downloaded.open(QIODevice::WriteOnly);

        FtpClient client;
        Recorder recorder(&client);
        QSignalSpy progress(&client, &FtpClient::dataTransferProgress);
        const QList<int> ids{client.connectToHost(u"127.0.0.1"_s, server.port()),
                             client.rawCommand(u"USER rigward\r\n"_s),
                             client.rawCommand(u"PASS secret"_s),
                             client.put(&source, u"clip.bin"_s),
                             client.put("validator"_ba, u"_val_id"_s),
                             client.list(),
                             client.get(u"_val_id"_s),
                             client.get(u"clip.bin"_s, &downloaded),
                             client.close()};
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 20000);

        QString expected = u"state 1; state 2; state 3; finished %1; reply 331; finished %2; "
                           "reply 230; state 4; finished %3; finished %4; finished %5; "
                           "finished %6; finished %7; finished %8; state 5; state 0; "
                           "finished %9; done"_s;
        for (const int id : ids)
            expected = expected.arg(id);
        QCOMPARE(recorder.trace(), expected);
        QFile stored(server.home() + u"/clip.bin"_s);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll() == big);
        QCOMPARE(client.readAll(), "validator"_ba);
        QVERIFY(downloaded.data() == big);
        QCOMPARE(recorder.entries.size(), 2);
        for (const UrlInfo &entry : recorder.entries) {
            QVERIFY(entry.isFile() && entry.lastModified().isValid());
            QCOMPARE(entry.size(), entry.name() == u"clip.bin"_s ? big.size() : 9);
        }
        // Progress of the streamed upload reaches the file's size.
        QVERIFY(std::any_of(progress.begin(), progress.end(), [&](const QVariantList &report) {
            return report.at(0).toLongLong() == big.size() &&
                   report.at(1).toLongLong() == big.size();
        }));
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
        const int putId = client.put(&device, u"large.bin"_s);
        // Abort from inside the first progress report: surely in the middle.
        qsizetype eventsBefore = -1;
        QMetaObject::Connection connection;
        connection = connect(&client, &FtpClient::dataTransferProgress, this, [&] {
            disconnect(connection);
            eventsBefore = recorder.events.size();
            client.abort();
            QCOMPARE(recorder.events.size(), eventsBefore); // nothing at once
        });
        QTRY_VERIFY_WITH_TIMEOUT(eventsBefore >= 0 && recorder.isDone(), 10000);
        QCOMPARE(recorder.events.mid(eventsBefore).join(u"; "_s),
                 u"finished %1 error; done error"_s.arg(putId));
        QVERIFY(device.pos() < large.size());

        // The replies owed to the aborted transfer do not confuse what follows.
        recorder.events.clear();
        const int listId = client.list();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QCOMPARE(recorder.trace(), u"finished %1; done"_s.arg(listId));
    }

    // The state comes first, once, however the caller reacts to it; nothing
    // of the source is read beyond what was sent.
    void lostTransfersEndTheSession_data()
    {
        QTest::addColumn<FakeFtpServer::Fault>("fault");
        QTest::addColumn<bool>("deleteInTheStateSlot");
        QTest::newRow("dropped mid-STOR") << FakeFtpServer::Fault_DropDuringStor << false;
        // How the controller gives up on a lost connection: abort, then delete later.
        QTest::newRow("dropped, given up in the state slot")
            << FakeFtpServer::Fault_DropDuringStor << true;
        QTest::newRow("stalled: inactivity timeout") << FakeFtpServer::Fault_StallStor << false;
    }
    void lostTransfersEndTheSession()
    {
        QFETCH(FakeFtpServer::Fault, fault);
        QFETCH(bool, deleteInTheStateSlot);
        FakeFtpServer server;
        server.setFault(fault);
        // Large enough to fill the socket buffers of both ends.
        QByteArray large = randomBytes(32 * 1024 * 1024);
        QBuffer device(&large);
        device.open(QIODevice::ReadOnly);
        QObject owner;
        QPointer<FtpClient> client = new FtpClient(&owner);
        client->setInactivityTimeout(300);
        Recorder recorder(client);
        if (deleteInTheStateSlot) {
            connect(client, &FtpClient::stateChanged, client, [client](int state) {
                if (state == FtpClient::State_Unconnected) {
                    client->abort();
                    client->deleteLater();
                }
            });
        }
        login(*client, server.port());
        const int id = client->put(&device, u"clip.bin"_s);
        if (deleteInTheStateSlot) {
            // A real event loop: the test library's waits delete objects
            // ahead of the calls queued before their deletion.
            QEventLoop loop;
            connect(client, &QObject::destroyed, &loop, &QEventLoop::quit);
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            loop.exec();
            QVERIFY(!client);
        }
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY2(recorder.trace().endsWith(lostWith(id)), qPrintable(recorder.trace()));
        QCOMPARE(recorder.events.count(u"state 0"_s), 1);
        QVERIFY(device.pos() < large.size());
    }

    void listingKeepsWellFormedLinesOnly()
    {
        FakeSession session;
        session.server.setListing("total 3\r\n"
                                  "-rw-r--r--   1 ftp ftp  1234 Nov  5 14:03 upload.wr_\r\n" +
                                  QByteArray(100 * 1024, 'x') +
                                  "\r\nthis is no listing line\r\n"
                                  "11-05-13  02:03PM       <DIR>          media\r\n"
                                  "drwxr-xr-x 2 ftp ftp 4096 Jan 01  2013 old folder\r\n"
                                  "-rw-r--r-- 1 ftp ftp 99 Nov 5 14:03 _val_id");
        login(session.client, session.server.port());
        session.client.list();
        QTRY_VERIFY(session.recorder.isDone());
        QCOMPARE(session.recorder.events.last(), u"done"_s);
        QStringList names;
        for (const UrlInfo &entry : session.recorder.entries)
            names << entry.name();
        QCOMPARE(names, (QStringList{u"upload.wr_"_s, u"media"_s, u"old folder"_s, u"_val_id"_s}));
    }

    void extendedPassiveRefusedFallsBackToPassive()
    {
        FakeSession session;
        session.server.script("EPSV", "500 unknown command\r\n");
        session.server.setListing("-rw-r--r-- 1 ftp ftp 99 Nov 5 14:03 _val_id");
        login(session.client, session.server.port());
        session.client.list();
        session.client.list();
        QTRY_VERIFY(session.recorder.isDone());
        QCOMPARE(session.recorder.events.last(), u"done"_s);
        QCOMPARE(session.recorder.entries.size(), 2);
        QCOMPARE(session.server.commands().count("EPSV"), 1); // then PASV for the rest
        QCOMPARE(session.server.commands().count("PASV"), 2);
    }

    void lineBreaksInCommandsAreRefused()
    {
        FakeSession session;
        login(session.client, session.server.port());
        session.client.rawCommand(u"PASS x\r\nDELE _val_id"_s);
        session.client.put("x"_ba, u"name\r\nDELE _val_id"_s);
        QTRY_VERIFY(session.recorder.isDone());
        QCOMPARE(session.client.error(), FtpClient::Error_UnknownError);
        for (const QByteArray &command : session.server.commands())
            QVERIFY(!command.startsWith("DELE"));
    }

    void blanksAroundAPasswordAreSent()
    {
        FakeSession session;
        login(session.client, session.server.port(), u" two  words \r\n"_s);
        QTRY_VERIFY(session.recorder.isDone());
        QVERIFY2(session.server.commands().contains("PASS  two  words "),
                 session.server.commands().join('|').constData());
    }

    void downloadIntoMemoryIsBounded()
    {
        RealFtpServer server;
        QFile validator(server.home() + u"/_val_id"_s);
        QVERIFY(validator.open(QIODevice::WriteOnly) && validator.write(QByteArray(5000, 'v')));
        validator.close();
        FtpClient client;
        client.setMaximumDownloadSize(1000);
        Recorder recorder(&client);
        login(client, server.port());
        const int id = client.get(u"_val_id"_s);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY(recorder.events.contains(u"finished %1 error"_s.arg(id)));
        QVERIFY(client.bytesAvailable() <= 1000);
    }

    // A plain file goes from the page cache to the socket in steps of a few MiB.
    void plainFileUploadsWholeOrAbortsMidway()
    {
        RealFtpServer server;
        const QByteArray data = randomBytes(10 * 1024 * 1024 + 5);
        QTemporaryFile source;
        QVERIFY(source.open() && source.write(data) == data.size() && source.seek(0));
        FtpClient client;
        Recorder recorder(&client);
        QList<qint64> done;
        connect(&client, &FtpClient::dataTransferProgress, this,
                [&](qint64 bytes, qint64 total) { done << (total == data.size() ? bytes : -1); });
        login(client, server.port());
        client.put(&source, u"whole.bin"_s);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 20000);
        QCOMPARE(recorder.events.last(), u"done"_s);
        QVERIFY(done.size() > 1 && std::is_sorted(done.begin(), done.end()) && done.first() > 0);
        QCOMPARE(done.last(), data.size());
        QCOMPARE(source.pos(), data.size());
        QFile stored(server.home() + u"/whole.bin"_s);
        QVERIFY(stored.open(QIODevice::ReadOnly) && stored.readAll() == data);

        // Aborted from its first progress report, the next command still works.
        QVERIFY(source.seek(0));
        recorder.events.clear();
        const QMetaObject::Connection abortAtOnce =
            connect(&client, &FtpClient::dataTransferProgress, &client, &FtpClient::abort);
        const int putId = client.put(&source, u"aborted.bin"_s);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY(source.pos() < data.size());
        disconnect(abortAtOnce);
        const int listId = client.list();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.events.size() == 4, 10000);
        QCOMPARE(recorder.trace(),
                 u"finished %1 error; done error; finished %2; done"_s.arg(putId).arg(listId));
    }

    // The kernel sends a plain file: a peer that drops, stalls or resets the
    // data connection ends the command as for any other source, the broken
    // pipe does not end the process, and the error says what happened.
    void lostFileTransfersEndTheSession_data()
    {
        QTest::addColumn<FakeFtpServer::Fault>("fault");
        QTest::addColumn<bool>("connectionLost");
        QTest::addColumn<QString>("happened");
        QTest::newRow("dropped mid-STOR")
            << FakeFtpServer::Fault_DropDuringStor << true << u"The server closed the connection"_s;
        QTest::newRow("stalled: inactivity timeout")
            << FakeFtpServer::Fault_StallStor << true << u"The server did not answer in time"_s;
        QTest::newRow("data connection reset")
            << FakeFtpServer::Fault_ResetStorData << false << u"transfer aborted"_s;
    }
    void lostFileTransfersEndTheSession()
    {
        QFETCH(FakeFtpServer::Fault, fault);
        QFETCH(bool, connectionLost);
        QFETCH(QString, happened);
        FakeSession session;
        session.server.setFault(fault);
        session.client.setInactivityTimeout(300);
        QTemporaryFile source;
        QVERIFY(source.open() && source.write(randomBytes(32 * 1024 * 1024)) > 0 && source.seek(0));
        login(session.client, session.server.port());
        const int id = session.client.put(&source, u"clip.bin"_s);
        QTRY_VERIFY_WITH_TIMEOUT(session.recorder.isDone(), 10000);
        const QString ending =
            connectionLost ? lostWith(id) : u"finished %1 error; done error"_s.arg(id);
        QVERIFY2(session.recorder.trace().endsWith(ending), qPrintable(session.recorder.trace()));
        QCOMPARE(session.client.errorString(), u"Uploading file failed:\n"_s + happened);
    }
};

RW_TEST_MAIN(TestFtpClient)
#include "tst_ftp_client.moc"
