#include "controller_simulator.h"
#include "fake_ftp_server.h"
#include "ftp_client.h"
#include "real_ftp_server.h"
#include "simulated_controller.h"
#include "test_main.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

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
        connect(client, &FtpClient::rawCommandReply, this,
                [this](int code) { events << u"reply %1"_s.arg(code); });
        connect(client, &FtpClient::listInfo, this,
                [this](const UrlInfo &info) { entries << info; });
        connect(client, &FtpClient::done, this,
                [this](bool error) { events << (error ? u"done error"_s : u"done"_s); });
    }
    bool isDone() const { return !events.isEmpty() && events.last().startsWith(u"done"_s); }
    QString trace() const { return events.join(u"; "_s); }

    QStringList events;
    QList<UrlInfo> entries;
};

// Random bytes to upload, from memory or from a plain file (which the kernel sends).
struct Source
{
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QTemporaryFile file;
    QIODevice *device = &buffer;

    Source(qsizetype size, bool fromFile) : bytes(size, Qt::Uninitialized)
    {
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
        buffer.open(QIODevice::ReadOnly);
        if (!fromFile)
            return;
        if (!file.open() || file.write(bytes) != bytes.size() || !file.seek(0))
            qFatal("cannot write a temporary file");
        device = &file;
    }
};

int login(FtpClient &client, quint16 port, const QString &password = u"secret"_s)
{
    client.connectToHost(u"127.0.0.1"_s, port);
    client.rawCommand(u"USER rigward\r\n"_s);
    return client.rawCommand(u"PASS "_s + password);
}

} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT

private slots:
    // A plain file goes from the page cache to the socket in steps of a few
    // MiB; its progress rises to its size and it arrives whole.
    void uploadListAndDownloadWithARealServer()
    {
        RealFtpServer server;
        QVERIFY(server.port() != 0);
        Source source(10 * 1024 * 1024 + 5, true);
        const QByteArray &big = source.bytes;
        QBuffer downloaded;
        downloaded.open(QIODevice::WriteOnly);

        FtpClient client;
        Recorder recorder(&client);
        QList<qint64> sent; // the upload's progress, up to its end
        connect(&client, &FtpClient::dataTransferProgress, this, [&](qint64 bytes, qint64 total) {
            if (total == big.size() && (sent.isEmpty() || sent.last() < total))
                sent << bytes;
        });
        const QList<int> ids{client.connectToHost(u"127.0.0.1"_s, server.port()),
                             client.rawCommand(u"USER rigward\r\n"_s),
                             client.rawCommand(u"PASS secret"_s),
                             client.put(source.device, u"clip.bin"_s),
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
        QVERIFY(stored.open(QIODevice::ReadOnly) && stored.readAll() == big);
        QCOMPARE(client.readAll(), "validator"_ba);
        QVERIFY(downloaded.data() == big);
        QCOMPARE(recorder.entries.size(), 2);
        for (const UrlInfo &entry : recorder.entries) {
            QVERIFY(entry.isFile() && entry.lastModified().isValid());
            QCOMPARE(entry.size(), entry.name() == u"clip.bin"_s ? big.size() : 9);
        }
        QVERIFY(sent.size() > 1 && std::is_sorted(sent.begin(), sent.end()) && sent.first() > 0);
        QCOMPARE(sent.last(), big.size());
        QCOMPARE(source.file.pos(), big.size());

        // A download into memory stops at its bound.
        recorder.events.clear();
        client.setMaximumDownloadSize(1000);
        login(client, server.port());
        const int bounded = client.get(u"clip.bin"_s);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
        QVERIFY(recorder.events.contains(u"finished %1 error"_s.arg(bounded)));
        QVERIFY(client.bytesAvailable() <= 1000);
    }

    // A transfer cut short ends its command, whether the source is in memory
    // or a plain file that the kernel sends, and nothing of the source is read
    // beyond what was sent. Aborted from its first progress report (surely in
    // the middle, against pyftpdlib), it ends at the next turn of the loop and
    // the replies owed to it do not confuse what follows. A peer that drops or
    // stalls ends the session and the broken pipe does not end the process;
    // the state comes first, once, however the caller reacts to it. A data
    // connection reset before the transfer starts fails only the command, with
    // the server's reply, not as a failure to read the file.
    void transfersCutShort_data()
    {
        QTest::addColumn<QString>("fault"); // of the simulated controller, or "abort", "reset"
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<bool>("deleteInTheStateSlot");
        QTest::addColumn<QString>("happened");
        const QString dropped = u"drop-stor=1"_s;
        const QString stalled = u"stall-stor=1"_s; // to the inactivity timeout
        const QString closed = u"The server closed the connection"_s;
        const QString silent = u"The server did not answer in time"_s;
        QTest::newRow("aborted") << u"abort"_s << false << false << QString();
        QTest::newRow("file aborted") << u"abort"_s << true << false << QString();
        QTest::newRow("dropped mid-STOR") << dropped << false << false << closed;
        // How the controller gives up on a lost connection: abort, then delete later.
        QTest::newRow("dropped, given up in the state slot") << dropped << false << true << closed;
        QTest::newRow("stalled") << stalled << false << false << silent;
        QTest::newRow("file dropped mid-STOR") << dropped << true << false << closed;
        QTest::newRow("file stalled") << stalled << true << false << silent;
        QTest::newRow("file, data connection reset")
            << u"reset"_s << true << false << u"transfer aborted"_s;
    }
    void transfersCutShort()
    {
        QFETCH(QString, fault);
        QFETCH(bool, fromFile);
        QFETCH(bool, deleteInTheStateSlot);
        QFETCH(QString, happened);
        const bool aborted = fault == u"abort"_s;
        const bool lost = !aborted && fault != u"reset"_s;
        std::optional<RealFtpServer> real;
        FakeFtpServer fake;
        fake.setResetStorData();
        SimOptions options;
        ControllerSimulator simulator;
        QString error;
        if (lost)
            QVERIFY2(options.parse({u"--fault=0:"_s + fault}, &error) &&
                         simulator.start(options, &error),
                     qPrintable(error));
        else if (aborted)
            real.emplace();
        Source source(32 * 1024 * 1024, fromFile); // fills the socket buffers of both ends
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
        qsizetype eventsBefore = -1;
        QMetaObject::Connection connection;
        if (aborted) {
            connection = connect(client, &FtpClient::dataTransferProgress, this, [&] {
                disconnect(connection);
                eventsBefore = recorder.events.size();
                client->abort();
                QCOMPARE(recorder.events.size(), eventsBefore); // nothing at once
            });
        }
        login(*client, lost      ? simulator.controllers().first()->ftpPort()
                       : aborted ? real->port()
                                 : fake.port());
        const int id = client->put(source.device, u"clip.bin"_s);
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
        const QString end = u"finished %1 error; done error"_s.arg(id);
        QVERIFY2(recorder.trace().endsWith(lost ? u"state 0; "_s + end : end),
                 qPrintable(recorder.trace()));
        QCOMPARE(recorder.events.count(u"state 0"_s), lost ? 1 : 0);
        QVERIFY(source.device->pos() < source.bytes.size());
        if (client && !aborted) // the error says what happened
            QCOMPARE(client->errorString(), u"Uploading file failed:\n"_s + happened);
        if (aborted) {
            QCOMPARE(recorder.events.mid(eventsBefore).join(u"; "_s), end);
            recorder.events.clear();
            const int listId = client->list();
            QTRY_VERIFY_WITH_TIMEOUT(recorder.isDone(), 10000);
            QCOMPARE(recorder.trace(), u"finished %1; done"_s.arg(listId));
        }
    }

    // A password's blanks are sent as they are; listing lines that are no
    // entries are skipped; a refused EPSV is asked once, then PASV serves the
    // session; a line break inside a command or a file name refuses it.
    void scriptedSession()
    {
        FakeFtpServer server;
        server.setListing("total 3\r\n"
                          "-rw-r--r--   1 ftp ftp  1234 Nov  5 14:03 upload.wr_\r\n" +
                          QByteArray(100 * 1024, 'x') +
                          "\r\nthis is no listing line\r\n"
                          "11-05-13  02:03PM       <DIR>          media\r\n"
                          "drwxr-xr-x 2 ftp ftp 4096 Jan 01  2013 old folder\r\n"
                          "-rw-r--r-- 1 ftp ftp 99 Nov 5 14:03 _val_id");
        FtpClient client;
        Recorder recorder(&client);
        login(client, server.port(), u" two  words \r\n"_s);
        client.list();
        client.list();
        QTRY_VERIFY(recorder.isDone());
        QCOMPARE(recorder.events.last(), u"done"_s);
        QStringList names;
        for (const UrlInfo &entry : recorder.entries)
            names << entry.name();
        const QStringList listed{u"upload.wr_"_s, u"media"_s, u"old folder"_s, u"_val_id"_s};
        QCOMPARE(names, listed + listed);
        QCOMPARE(server.commands().count("EPSV"), 1);
        QCOMPARE(server.commands().count("PASV"), 2);

        for (int refused = 0; refused < 2; ++refused) {
            recorder.events.clear();
            if (refused == 0)
                client.rawCommand(u"PASS x\r\nDELE _val_id"_s);
            else
                client.put("x"_ba, u"name\r\nDELE _val_id"_s);
            QTRY_VERIFY(recorder.isDone());
            QCOMPARE(recorder.events.last(), u"done error"_s);
        }
        const QList<QByteArray> commands = server.commands();
        QVERIFY2(commands.contains("PASS  two  words "), commands.join('|').constData());
        for (const QByteArray &command : commands)
            QVERIFY(!command.startsWith("DELE"));
    }
};

RW_TEST_MAIN(TestFtpClient)
#include "tst_ftp_client.moc"
