// rigwarden-cli upload, and the refusals shared by status, upload and run, run
// as the operator runs them against rigwarden-sim.

#include "cli_fixture.h"
#include "test_main.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace CliFixture;

namespace {

const QString ReportHeader = u"This report was generated on "_s;

// The lines of the report at the end of the output.
QStringList reportLines(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(ReportHeader))
            return lines.mid(i);
    }
    return {};
}

// The report's line of a controller, without its time.
QString resultLine(const QStringList &lines, const QString &installation)
{
    for (const QString &line : reportLines(lines)) {
        const QStringList parts = line.split(u" - "_s);
        if (parts.size() >= 5 && parts.at(1) == installation)
            return parts.mid(0, parts.size() - 1).join(u" - "_s);
    }
    return QString();
}

} // namespace

class TestUploadCommand : public QObject
{
    Q_OBJECT

private slots:
    // The first run sends everything, fails for the controller that is not
    // there (exit 1, logged as a scheduled run logs it) and ends only once
    // the mail server has the report; the second, of the controllers found,
    // finds every file on them and sends only the validator files. The log
    // comes first, in the viewer's form and up to the level asked for, then
    // the report.
    void uploadsThenSkipsWhatTheControllersHold()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        Simulator simulator({u"-n"_s, u"2"_s});
        QVERIFY(simulator.isValid());
        Rig rig;
        const quint16 absent = closedPort();
        const QString project = rig.project(u"three.lmp"_s,
                                            {{simulator.httpPort(0), simulator.ftpPort(0)},
                                             {simulator.httpPort(1), simulator.ftpPort(1)},
                                             {absent, absent}},
                                            mail.port());
        QVERIFY(!project.isEmpty());

        const Finished first = runCli({u"upload"_s, project});
        QCOMPARE(first.exitCode, 1);
        const QStringList lines = first.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList report = reportLines(lines);
        QCOMPARE(report.size(), 6); // header, start, a line per controller, the mail
        for (const QString &line : lines.mid(0, lines.size() - report.size()))
            QVERIFY2(isLogLine(line), qPrintable(line));
        QCOMPARE(first.out.count(u"] - Uploading \""_s), 6);
        QCOMPARE(first.out.count(u"] - Uploading validator to 127.0.0.1\n"_s), 2);
        QVERIFY(!first.out.contains(u"Getting status for"_s)); // level 1
        QCOMPARE(resultLine(lines, u"Site 2"_s),
                 u"  SUCCESS - Site 2 - Lights - 127.0.0.1 - Upload succeeded"_s);
        QCOMPARE(resultLine(lines, u"Site 3"_s),
                 u"   FAILED - Site 3 - Lights - 127.0.0.1 - Controller not found"_s);
        QVERIFY(first.out.contains(
            u"[SCHEDULE] - Scheduled upload to 127.0.0.1 failed because the controller is not "
            "found\n"_s));
        QCOMPARE(mail.messageCount(), 1);
        QVERIFY(mail.message(1).contains(
            u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s));
        QVERIFY(report.last().endsWith(u"[SMTP] - Sent mail to ops@example.com"_s));

        const Finished second = runCli(
            {u"upload"_s, project, u"--log-level=1"_s, u"--controller=0"_s, u"--controller=1"_s});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out.count(u"127.0.0.1 already has the correct file"_s), 6);
        QVERIFY(!second.out.contains(u"] - Uploading \""_s));
        QCOMPARE(second.out.count(u"] - Uploading validator to"_s), 2);
        QVERIFY(second.out.contains(u"] - Getting status for 127.0.0.1\n"_s));
        QVERIFY(!second.out.contains(u"] - ["_s)); // level 2
        // Only the chosen controllers are asked.
        QVERIFY(!second.out.contains(u"Connecting to 127.0.0.1:%1\n"_s.arg(absent)));
    }

    void ctrlCCancelsTheRun()
    {
        Simulator simulator({u"--fault"_s, u"all:slow=100000"_s});
        QVERIFY(simulator.isValid());
        Rig rig(2 * 1024 * 1024);
        const QString project =
            rig.project(u"slow.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)}});
        QVERIFY(!project.isEmpty());

        CliProcess upload({u"upload"_s, project});
        QVERIFY2(upload.waitForOutput(u"] - Uploading \""_s), qPrintable(upload.err()));
        upload.sendSignal(SIGINT);
        QVERIFY(upload.waitForFinished(15000));
        // Ended by the signal once the report is out, so that a script stops.
        QVERIFY(upload.crashed());
        QVERIFY(upload.out().contains(u"[FTP] - Cancelled upload 127.0.0.1\n"_s));
        QCOMPARE(resultLine(upload.outLines(), u"Site 1"_s),
                 u"CANCELLED - Site 1 - Lights - 127.0.0.1 - Upload was cancelled"_s);
        QVERIFY(upload.err().contains(u"cancelling the upload"_s));
    }

    // Ctrl-C while the mail goes out cancels nothing: the run is over, and
    // the command still ends by its result.
    void ctrlCWhileMailingEndsByTheResult()
    {
        QTcpServer silentMail;
        QVERIFY(silentMail.listen(QHostAddress::LocalHost));
        Simulator simulator;
        QVERIFY(simulator.isValid());
        Rig rig;
        const QString project =
            rig.project(u"silent-mail.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)}},
                        silentMail.serverPort());
        QVERIFY(!project.isEmpty());

        CliProcess upload({u"upload"_s, project});
        QVERIFY(upload.waitForOutput(ReportHeader));
        QTRY_VERIFY_WITH_TIMEOUT(silentMail.hasPendingConnections(), 10000);
        QTcpSocket *connection = silentMail.nextPendingConnection();
        upload.sendSignal(SIGINT);
        QTRY_VERIFY(upload.err().contains(u"waiting for the alert mail"_s));
        QVERIFY(upload.isRunning());
        connection->abort();
        QVERIFY(upload.waitForFinished());
        QVERIFY(!upload.crashed());
        QCOMPARE(upload.exitCode(), 0);
    }

    void refusalsExitWithTwo_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error");
        // BAD stands for a file that is no project, GOOD for a project of one controller.
        const auto row = [](const char *name, const char *line, const char *error) {
            QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(error);
        };
        row("upload without project", "upload", "no project given");
        row("unknown option", "upload GOOD --fast", "unknown option \"--fast\"");
        row("log level out of range", "upload GOOD --log-level 3", "--log-level takes 0, 1 or 2");
        row("controller not in project", "upload GOOD --controller 5", "has no controller 5");
        row("status of a refused project", "status BAD", "cannot open");
        row("missing project", "upload /nonexistent/x.lmp", "cannot open /nonexistent/x.lmp");
    }
    void refusalsExitWithTwo()
    {
        QFETCH(QString, line);
        QFETCH(QString, error);
        QStringList arguments = line.split(u' ');
        Rig rig;
        const QString bad = rig.path(u"bad.lmp"_s);
        QVERIFY(ShowFileBytes::writeFile(bad, "not a project at all"));
        const QString good = rig.project(u"good.lmp"_s, {{closedPort(), closedPort()}});
        QVERIFY(!good.isEmpty());
        arguments.replaceInStrings(QRegularExpression(u"^BAD$"_s), bad);
        arguments.replaceInStrings(QRegularExpression(u"^GOOD$"_s), good);

        const Finished refused = runCli(arguments);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY(refused.out.isEmpty());
        QVERIFY2(refused.err.startsWith(u"rigwarden-cli: "_s), qPrintable(refused.err));
        QVERIFY2(refused.err.contains(error), qPrintable(refused.err));
        QCOMPARE(refused.err.count(u'\n'), 1);
    }
};

RW_TEST_MAIN(TestUploadCommand)
#include "tst_upload_command.moc"
