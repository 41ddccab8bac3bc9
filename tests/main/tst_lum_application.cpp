// The start-up pieces: the command line, the single instance and its
// hand-over, the installer lock, and the application object.

#include "app_constants.h"
#include "command_line.h"
#include "file_lock.h"
#include "installer_lock.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "single_instance.h"
#include "test_main.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>

#include <atomic>
#include <memory>
#include <thread>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {
// Sends from a worker thread: the sender blocks, the owner must keep its loop.
bool sendWhileLooping(SingleInstance &sender, const QString &message, int timeoutMs)
{
    bool accepted = false;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        accepted = sender.sendMessage(message, timeoutMs);
        done = true;
    });
    QDeadlineTimer deadline(timeoutMs + 2000);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return accepted;
}

} // namespace

class TestLumApplication : public QObject
{
    Q_OBJECT

private slots:
    // Options are matched to the letter; the stored last file is taken in its
    // turn, and a later project path replaces an earlier one.
    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("logLevel");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<QString>("fileToOpen"); // "/p/last.lmp" is stored, but for "none stored"
        QTest::newRow("log level") << "-log_level=3" << 3 << false << QString();
        QTest::newRow("negative level") << "-log_level=-1" << -1 << false << QString();
        QTest::newRow("other case") << "-LOG_LEVEL=2 show.LMP" << 0 << false << QString();
        QTest::newRow("minimised") << "-start_minimised" << 0 << true << QString();
        QTest::newRow("other spelling") << "-start_minimized" << 0 << false << QString();
        QTest::newRow("later path wins") << "a.lmp --bogus /x/b.lmp" << 0 << false << "/x/b.lmp";
        QTest::newRow("not a project") << "lmp notes.txt" << 0 << false << QString();
        QTest::newRow("last file") << "-load_last_file" << 0 << false << "/p/last.lmp";
        QTest::newRow("none stored") << "-load_last_file" << 0 << false << QString();
    }
    void parse()
    {
        QFETCH(QString, line);
        QFETCH(int, logLevel);
        QFETCH(bool, minimised);
        QFETCH(QString, fileToOpen);
        const QString stored =
            qstrcmp(QTest::currentDataTag(), "none stored") == 0 ? QString() : u"/p/last.lmp"_s;
        const StartupOptions options =
            CommandLine::parse(line.split(u' '), [stored] { return stored; });
        QCOMPARE(options.logLevel, logLevel);
        QCOMPARE(options.startMinimised, minimised);
        QCOMPARE(options.fileToOpen, fileToOpen);
    }

    void handoverCarriesOnlyTheFirstArgument()
    {
        QCOMPARE(CommandLine::handoverMessage({}), u"launch"_s);
        QCOMPARE(CommandLine::handoverMessage({u"a.lmp"_s, u"b.lmp"_s}), u"launch a.lmp"_s);
        QCOMPARE(CommandLine::handoverMessage({u"-log_level=2"_s}), u"launch -log_level=2"_s);
    }

    void handoverMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("understood");
        QTest::addColumn<QString>("path");
        QTest::newRow("path") << u"launch /a b/c.lmp"_s << true << u"/a b/c.lmp"_s;
        QTest::newRow("option") << u"launch -log_level=2"_s << true << u"-log_level=2"_s;
        QTest::newRow("trailing blank") << u"launch "_s << false << QString();
        QTest::newRow("newline") << u"launch\n"_s << false << QString();
    }
    void handoverMessages()
    {
        QFETCH(QString, message);
        QFETCH(bool, understood);
        QFETCH(QString, path);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QSignalSpy spy(app.get(), &LumApplication::launchRequested);
        app->singleAppMessageReceived(message);
        QCOMPARE(spy.size(), understood ? 1 : 0);
        if (understood)
            QCOMPARE(spy[0][0].toString(), path);
    }

    // A fleet's uploads need more files than the usual soft limit of 1024.
    void openFileLimitIsLifted()
    {
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        if (limit.rlim_max <= 256)
            QSKIP("the hard limit leaves nothing to lift");
        limit.rlim_cur = 256;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        QCOMPARE(limit.rlim_cur, limit.rlim_max);
    }

    void localAddressesAreUpNonLoopbackIPv4()
    {
        LocalInterfaces::initialise();
        const QList<QHostAddress> addresses = LocalInterfaces::addresses();
        for (const QHostAddress &address : addresses) {
            QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
            QVERIFY(!address.isLoopback());
        }
        const QString first = LocalInterfaces::firstAddress();
        QCOMPARE(first, addresses.isEmpty() ? u"0.0.0.0"_s : addresses[0].toString());
    }

    void staleSocketOfACrashedOwnerDoesNotBlockTheNextStart()
    {
        SingleInstance probe(u"KeyC"_s);
        // A socket file left behind, with no process listening and no lock held.
        {
            QLocalServer crashed;
            QVERIFY(crashed.listen(probe.socketPath()));
            crashed.setSocketOptions(QLocalServer::UserAccessOption);
        }
        QFile stale(probe.socketPath());
        if (!stale.exists()) {
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.close();
        }
        QVERIFY(!probe.isRunning());
        // Nothing listens: refused at once.
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!probe.sendMessage(u"launch"_s, 5000));
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(probe.becomeOwner());
        SingleInstance next(u"KeyC"_s);
        QVERIFY(sendWhileLooping(next, u"launch"_s, 5000));
    }

    void aForeignClientCannotMakeTheOwnerAllocate()
    {
        SingleInstance owner(u"KeyD"_s);
        QVERIFY(owner.becomeOwner());
        QSignalSpy received(&owner, &SingleInstance::messageReceived);
        QLocalSocket client;
        client.connectToServer(owner.socketPath());
        QVERIFY(client.waitForConnected(1000));
        client.write(QByteArray("\x7f\xff\xff\xff", 4)); // claims 2 GiB
        client.flush();
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(received.size(), 0);
    }

    void installerLockIsOnlyProbed()
    {
        QVERIFY(!InstallerLock::installerRunning());
        QVERIFY(!InstallerLock::installerRunning()); // probing twice never holds it
        FileLock installer(InstallerLock::path());
        QVERIFY(installer.tryLock());
        QVERIFY(InstallerLock::installerRunning());
        installer.unlock();
        QVERIFY(!InstallerLock::installerRunning());
        // An installer may leave its file read-only; holding it still counts.
        QVERIFY(QFile::setPermissions(InstallerLock::path(), QFile::ReadOwner));
        QVERIFY(installer.tryLock());
        QVERIFY(InstallerLock::installerRunning());
    }

    void secondStartHandsOverAndExits()
    {
        QProcess first;
        first.setProcessChannelMode(QProcess::SeparateChannels);
        first.start(TestEnvironment::binDir() + u"/rigwarden"_s, {u"-start_minimised"_s});
        QVERIFY(first.waitForStarted());
        // Ready once it owns the key.
        SingleInstance probe(AppConstants::singleInstanceKey());
        QTRY_VERIFY_WITH_TIMEOUT(probe.isRunning(), 15000);

        QProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(TestEnvironment::binDir() + u"/rigwarden"_s, {u"/tmp/show one.lmp"_s});
        QVERIFY(second.waitForFinished(5000));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAllStandardError())
                                     .contains("Hand-over received: launch /tmp/show one.lmp"),
                                 5000);
        first.terminate();
        QVERIFY(first.waitForFinished(5000));
    }
};

RW_TEST_MAIN(TestLumApplication)
#include "tst_lum_application.moc"
