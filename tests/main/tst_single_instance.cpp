#include "app_constants.h"
#include "file_lock.h"
#include "installer_lock.h"
#include "single_instance.h"
#include "test_main.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>

#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void staleSocketOfACrashedOwnerDoesNotBlockTheNextStart()
    {
        SingleInstance probe(u"KeyC"_s);
        // A socket file left behind, with no process listening and no lock held.
        const int crashed = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, QFile::encodeName(probe.socketPath()).constData(),
                 sizeof address.sun_path);
        QCOMPARE(::bind(crashed, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(crashed);
        QVERIFY(!probe.isRunning());
        // Nothing listens: refused at once.
        const QDeadlineTimer atOnce(1000);
        QVERIFY(!probe.sendMessage(u"launch"_s, 5000));
        QVERIFY(!atOnce.hasExpired());
        QVERIFY(probe.becomeOwner());
        // Sent from a worker thread: the sender blocks, the owner keeps its loop.
        SingleInstance next(u"KeyC"_s);
        auto sent =
            std::async(std::launch::async, [&] { return next.sendMessage(u"launch"_s, 5000); });
        QTRY_VERIFY_WITH_TIMEOUT(
            sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 7000);
        QVERIFY(sent.get());
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
        first.start(TestEnvironment::binDir() + u"/rigwarden"_s, {u"-start_minimised"_s});
        QVERIFY(first.waitForStarted());
        // Ready once it owns the key.
        SingleInstance probe(AppConstants::singleInstanceKey());
        QTRY_VERIFY_WITH_TIMEOUT(probe.isRunning(), 15000);

        QProcess second;
        second.start(TestEnvironment::binDir() + u"/rigwarden"_s, {u"/tmp/show one.lmp"_s});
        QVERIFY(second.waitForFinished(5000));
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

RW_TEST_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
