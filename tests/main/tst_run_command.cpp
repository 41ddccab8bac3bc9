// rigwarden-cli run against rigwarden-sim and a real mail server: scheduled
// uploads at their times, and a clean stop on SIGTERM and SIGINT.

#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

class TestRunCommand : public QObject
{
    Q_OBJECT

private slots:
    // Nothing happens before the time; then the run, its report and its
    // mail. The project file is left as it was.
    void runsAScheduledUploadAtItsTime()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        Simulator simulator({u"-n"_s, u"2"_s});
        QVERIFY(simulator.isValid());
        Rig rig;
        const QDateTime due = QDateTime::currentDateTime().addSecs(3);
        const QString project = rig.project(u"scheduled.lmp"_s,
                                            {{simulator.httpPort(0), simulator.ftpPort(0), due},
                                             {simulator.httpPort(1), simulator.ftpPort(1)}},
                                            mail.port());
        QVERIFY(!project.isEmpty());
        const QByteArray saved = readFile(project);

        CliProcess run({u"run"_s, project});
        QVERIFY(run.waitForOutput(
            u"] - Next upload scheduled for %1\n"_s.arg(due.toString(Qt::TextDate))));
        QVERIFY(run.waitForOutput(u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s));
        QVERIFY(QDateTime::currentDateTime() >= due);
        const QString out = run.out();
        QVERIFY(out.contains(u"[SCHEDULE] - Starting scheduled upload\n"_s));
        QVERIFY(!out.contains(u"Site 2"_s));
        const QString started = out.section(u"Upload started at "_s, 1, 1).section(u'\n', 0, 0);
        QVERIFY2(QDateTime::fromString(started, Qt::TextDate) >= due.addMSecs(-due.time().msec()),
                 qPrintable(started));
        QTRY_COMPARE(mail.messageCount(), 1);

        run.sendSignal(SIGTERM);
        QVERIFY(run.waitForFinished(15000));
        QVERIFY(!run.crashed());
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(readFile(project), saved);
    }

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
