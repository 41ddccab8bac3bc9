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

QString binary(const char *name)
{
    return TestEnvironment::binDir() + QLatin1Char('/') + QLatin1String(name);
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void ownerReceivesTheHandover()
    {
        SingleInstance owner(QStringLiteral("KeyA"));
        QVERIFY(owner.becomeOwner());
        QSignalSpy received(&owner, &SingleInstance::messageReceived);

        SingleInstance second(QStringLiteral("KeyA"));
        QVERIFY(!second.becomeOwner());
        QVERIFY(second.isRunning());
        QVERIFY(!owner.isRunning()); // an owner does not count itself
        QVERIFY(sendWhileLooping(second, QStringLiteral("launch /tmp/ä b.lmp"), 5000));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toString(), QStringLiteral("launch /tmp/ä b.lmp"));
    }

    void nobodyToHandOverTo()
    {
        SingleInstance alone(QStringLiteral("KeyB"));
        QVERIFY(!alone.isRunning());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!alone.sendMessage(QStringLiteral("launch"), 5000));
        QVERIFY(timer.elapsed() < 1000); // nothing listens: refused at once
    }

    void staleSocketOfACrashedOwnerDoesNotBlockTheNextStart()
    {
        SingleInstance probe(QStringLiteral("KeyC"));
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
        QVERIFY(!probe.sendMessage(QStringLiteral("launch"), 1000));
        QVERIFY(probe.becomeOwner());
        SingleInstance next(QStringLiteral("KeyC"));
        QVERIFY(sendWhileLooping(next, QStringLiteral("launch"), 5000));
    }

    void aForeignClientCannotMakeTheOwnerAllocate()
    {
        SingleInstance owner(QStringLiteral("KeyD"));
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
    }

    void secondStartHandsOverAndExits()
    {
        QProcess first;
        first.setProcessChannelMode(QProcess::SeparateChannels);
        first.start(binary("rigwarden"), {QStringLiteral("-start_minimised")});
        QVERIFY(first.waitForStarted());
        // Ready once it owns the key.
        SingleInstance probe(AppConstants::singleInstanceKey());
        QTRY_VERIFY_WITH_TIMEOUT(probe.isRunning(), 15000);

        QProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(binary("rigwarden"), {QStringLiteral("/tmp/show one.lmp")});
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
