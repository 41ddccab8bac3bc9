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
    // The first run sends everything; the second finds every file on the
    // controllers and sends only the validator files. The log comes first,
    // in the viewer's form and up to the level asked for, then the report.
    void uploadsThenSkipsWhatTheControllersHold()
    {
        Simulator simulator({u"-n"_s, u"2"_s});
        QVERIFY(simulator.isValid());
        Rig rig;
        const QString project =
            rig.project(u"two.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)},
                                       {simulator.httpPort(1), simulator.ftpPort(1)}});
        QVERIFY(!project.isEmpty());

        const Finished first = runCli({u"upload"_s, project});
        QCOMPARE(first.exitCode, 0);
        const QStringList lines = first.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList report = reportLines(lines);
        QCOMPARE(report.size(), 4); // header, start, a line per controller
        for (const QString &line : lines.mid(0, lines.size() - report.size()))
            QVERIFY2(isLogLine(line), qPrintable(line));
        QCOMPARE(first.out.count(u"] - Uploading \""_s), 6);
        QCOMPARE(first.out.count(u"] - Uploading validator to 127.0.0.1\n"_s), 2);
        QVERIFY(!first.out.contains(u"Getting status for"_s)); // level 1
        QCOMPARE(resultLine(lines, u"Site 1"_s),
                 u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s);
        QCOMPARE(resultLine(lines, u"Site 2"_s),
                 u"  SUCCESS - Site 2 - Lights - 127.0.0.1 - Upload succeeded"_s);

        const Finished second = runCli({u"upload"_s, project, u"--log-level=1"_s});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out.count(u"127.0.0.1 already has the correct file"_s), 6);
        QVERIFY(!second.out.contains(u"] - Uploading \""_s));
        QCOMPARE(second.out.count(u"] - Uploading validator to"_s), 2);
        QVERIFY(second.out.contains(u"] - Getting status for 127.0.0.1\n"_s));
        QVERIFY(!second.out.contains(u"] - ["_s)); // level 2
    }

    // One failed result makes the command fail; an automated run logs its
    // refusals as a scheduled run does.
    void aFailedResultExitsWithOne()
    {
        Simulator simulator;
        QVERIFY(simulator.isValid());
        Rig rig;
        const quint16 absent = closedPort();
        const QString project = rig.project(
            u"mixed.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)}, {absent, absent}});
        QVERIFY(!project.isEmpty());

        const Finished both = runCli({u"upload"_s, project});
        QCOMPARE(both.exitCode, 1);
        const QStringList lines = both.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(resultLine(lines, u"Site 1"_s),
                 u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s);
        QCOMPARE(resultLine(lines, u"Site 2"_s),
                 u"   FAILED - Site 2 - Lights - 127.0.0.1 - Controller not found"_s);
        QVERIFY(both.out.contains(
            u"[SCHEDULE] - Scheduled upload to 127.0.0.1 failed because the controller is not "
            "found\n"_s));

        const Finished chosen = runCli({u"upload"_s, project, u"--controller"_s, u"0"_s});
        QCOMPARE(chosen.exitCode, 0);
        QCOMPARE(reportLines(chosen.out.split(u'\n', Qt::SkipEmptyParts)).size(), 3);
        // Only the chosen controller is asked.
        QVERIFY(!chosen.out.contains(u"Connecting to 127.0.0.1:%1\n"_s.arg(absent)));
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

    // The command ends only once the mail server has the report.
    void mailsTheReportAndWaitsForIt()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        Simulator simulator;
        QVERIFY(simulator.isValid());
        Rig rig;
        const QString project = rig.project(
            u"mail.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)}}, mail.port());
        QVERIFY(!project.isEmpty());

        const Finished run = runCli({u"upload"_s, project});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(mail.messageCount(), 1);
        QVERIFY(mail.message(1).contains(
            u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s));
        const qsizetype report = run.out.indexOf(ReportHeader);
        QVERIFY(report > 0);
        QVERIFY(run.out.indexOf(u"[SMTP] - Sent mail to ops@example.com\n"_s) > report);
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

    // The demo rig of tools/run-app.sh: its video and audio are converted
    // before the screen's upload sends them.
    void theDemoRigUploadsItsConvertedMedia()
    {
        Simulator lights({u"-n"_s, u"2"_s});
        Simulator screen({u"--type"_s, u"3"_s});
        QVERIFY(lights.isValid() && screen.isValid());
        QTemporaryDir dir;
        const QString lightsPorts = dir.filePath(u"lights.json"_s);
        const QString screenPorts = dir.filePath(u"screen.json"_s);
        QVERIFY(lights.writeListing(lightsPorts) && screen.writeListing(screenPorts));
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        make.start(u"/usr/bin/python3"_s,
                   {TestEnvironment::sourceDir() + u"/tools/demo/make_demo.py"_s,
                    dir.filePath(u"rig"_s), lightsPorts, screenPorts});
        QVERIFY(make.waitForFinished(60000));
        QCOMPARE(make.exitCode(), 0);
        const QString json = QString::fromUtf8(make.readAllStandardOutput()).trimmed();
        const QString project = dir.filePath(u"demo.lmp"_s);
        QCOMPARE(runCli({u"import"_s, json, project}).exitCode, 0);

        const Finished run = runCli({u"upload"_s, project});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(resultLine(lines, u"Foyer"_s),
                 u"  SUCCESS - Foyer - Screen - 127.0.0.1 - Upload succeeded"_s);
        QCOMPARE(reportLines(lines).filter(u"  SUCCESS - "_s).size(), 3);
        const qsizetype converted = run.out.indexOf(u"opening.mpg (Video) succeeded"_s);
        QVERIFY(converted > 0);
        QVERIFY(run.out.indexOf(u"opening.mpg\" to 127.0.0.1"_s) > converted);
        // The chunk file went, not the source.
        const QByteArray sent = readFile(screen.folder(0) + u"/opening.vid"_s);
        QVERIFY(!sent.isEmpty());
        QVERIFY(sent != readFile(dir.filePath(u"rig/media/opening.mpg"_s)));
    }

    void refusalsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString bad = u"BAD"_s;   // replaced by a file that is no project
        const QString good = u"GOOD"_s; // replaced by a project of one controller
        QTest::newRow("upload without project")
            << QStringList{u"upload"_s} << u"no project given"_s;
        QTest::newRow("unknown option")
            << QStringList{u"upload"_s, good, u"--fast"_s} << u"unknown option \"--fast\""_s;
        QTest::newRow("log level out of range")
            << QStringList{u"upload"_s, good, u"--log-level"_s, u"3"_s}
            << u"--log-level takes 0, 1 or 2"_s;
        QTest::newRow("controller not in project")
            << QStringList{u"upload"_s, good, u"--controller"_s, u"5"_s}
            << u"has no controller 5"_s;
        QTest::newRow("status of a refused project")
            << QStringList{u"status"_s, bad} << u"cannot open"_s;
        QTest::newRow("missing project") << QStringList{u"upload"_s, u"/nonexistent/x.lmp"_s}
                                         << u"cannot open /nonexistent/x.lmp"_s;
    }
    void refusalsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
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
