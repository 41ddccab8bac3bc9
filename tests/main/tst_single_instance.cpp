#include "app_constants.h"
#include "file_lock.h"
#include "installer_lock.h"
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
#include <thread>

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

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
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

RW_TEST_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
