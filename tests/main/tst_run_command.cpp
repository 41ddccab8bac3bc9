// rigwarden-cli run against rigwarden-sim and a real mail server. The timer's
// rules are the core's (tst_upload_runs, tst_unattended_schedule); here the
// command end to end.

#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

class TestRunCommand : public QObject
{
    Q_OBJECT

private slots:

    // A time that passed while nothing ran starts at once; a stop cancels
    // the upload under way and ends once the report is mailed.
    void aStopCancelsTheUploadUnderWay()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        Simulator simulator({u"--fault"_s, u"all:slow=100000"_s});
        QVERIFY(simulator.isValid());
        Rig rig(2 * 1024 * 1024);
        const QDateTime passed = QDateTime::currentDateTime().addSecs(-600);
        const QString project = rig.project(
            u"passed.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0), passed}}, mail.port());
        QVERIFY(!project.isEmpty());
        const QByteArray saved = readFile(project);

        CliProcess run({u"run"_s, project});
        QVERIFY2(run.waitForOutput(u"] - Uploading \""_s), qPrintable(run.err()));
        QVERIFY(run.out().contains(u"Scheduled upload time (%1) has passed - uploading now\n"_s.arg(
            passed.toString(Qt::TextDate))));
        run.sendSignal(SIGINT);
        QVERIFY(run.waitForFinished(20000));
        QVERIFY(!run.crashed());
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(run.out().contains(
            u"CANCELLED - Site 1 - Lights - 127.0.0.1 - Upload was cancelled"_s));
        QCOMPARE(mail.messageCount(), 1);
        QVERIFY(mail.message(1).contains(u"Upload was cancelled"_s));
        QCOMPARE(readFile(project), saved);
    }
};

RW_TEST_MAIN(TestRunCommand)
#include "tst_run_command.moc"
