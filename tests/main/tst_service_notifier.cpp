// rigwarden-cli run as systemd sees it: READY=1 once the project is open and
// STOPPING=1 on SIGTERM, as datagrams on a fake $NOTIFY_SOCKET.

#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

class TestServiceNotifier : public QObject
{
    Q_OBJECT

private slots:
    // A project that cannot be opened never counts as started.
    void runTellsTheServiceManager_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("projectExists");
        QTest::newRow("path") << m_folder.filePath(u"notify"_s) << true;
        QTest::newRow("abstract name")
            << u"@rigwarden-test-%1"_s.arg(QCoreApplication::applicationPid()) << true;
        QTest::newRow("refused project") << m_folder.filePath(u"refused"_s) << false;
    }
    void runTellsTheServiceManager()
    {
        QFETCH(QString, address);
        QFETCH(bool, projectExists);
        QProcess manager;
        manager.start(
            u"/usr/bin/python3"_s,
            {TestEnvironment::sourceDir() + u"/tests/main/notify_listener.py"_s, address});
        QByteArray said;
        QTRY_COMPARE_WITH_TIMEOUT(said += manager.readAll(), QByteArray("listening\n"), 15000);
        const QString project = projectExists ? m_rig.project(u"idle.lmp"_s, {{1, 1}})
                                              : m_folder.filePath(u"missing.lmp"_s);
        qputenv("NOTIFY_SOCKET", address.toUtf8());
        CliProcess run({u"run"_s, project});
        qunsetenv("NOTIFY_SOCKET");
        if (projectExists) {
            QTRY_COMPARE_WITH_TIMEOUT(said += manager.readAll(), QByteArray("listening\nREADY=1\n"),
                                      15000);
            run.sendSignal(SIGTERM);
        }
        QVERIFY(run.waitForFinished(15000));
        QCOMPARE(run.exitCode(), projectExists ? 0 : 2);
        QTRY_COMPARE(
            said += manager.readAll(),
            QByteArray(projectExists ? "listening\nREADY=1\nSTOPPING=1\n" : "listening\n"));
        manager.kill();
        manager.waitForFinished();
    }

private:
    QTemporaryDir m_folder;
    Rig m_rig;
};

RW_TEST_MAIN(TestServiceNotifier)
#include "tst_service_notifier.moc"
