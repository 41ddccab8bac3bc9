// rigwarden-cli upload, and the refusals shared by status, upload and run, run
// as the operator runs them against rigwarden-sim.

#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

namespace {

const QString ReportHeader = QStringLiteral("This report was generated on ");

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
        const QStringList parts = line.split(QStringLiteral(" - "));
        if (parts.size() >= 5 && parts.at(1) == installation)
            return parts.mid(0, parts.size() - 1).join(QStringLiteral(" - "));
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
        Simulator simulator({QStringLiteral("-n"), QStringLiteral("2")});
        QVERIFY(simulator.isValid());
        Rig rig;
        const QString project =
            rig.project(QStringLiteral("two.lmp"), {{simulator.httpPort(0), simulator.ftpPort(0)},
                                                    {simulator.httpPort(1), simulator.ftpPort(1)}});
        QVERIFY(!project.isEmpty());

        const Finished first = runCli({QStringLiteral("upload"), project});
        QCOMPARE(first.exitCode, 0);
        const QStringList lines = first.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList report = reportLines(lines);
        QCOMPARE(report.size(), 4); // header, start, a line per controller
        for (const QString &line : lines.mid(0, lines.size() - report.size()))
            QVERIFY2(isLogLine(line), qPrintable(line));
        QCOMPARE(first.out.count(QStringLiteral("] - Uploading \"")), 6);
        QCOMPARE(first.out.count(QStringLiteral("] - Uploading validator to 127.0.0.1\n")), 2);
        QVERIFY(!first.out.contains(QStringLiteral("Getting status for"))); // level 1
        QCOMPARE(report.at(1).left(18), QStringLiteral("Upload started at "));
        QCOMPARE(resultLine(lines, QStringLiteral("Site 1")),
                 QStringLiteral("  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"));
        QCOMPARE(resultLine(lines, QStringLiteral("Site 2")),
                 QStringLiteral("  SUCCESS - Site 2 - Lights - 127.0.0.1 - Upload succeeded"));
        QCOMPARE(readFile(simulator.folder(1) + QStringLiteral("/clip2.bin")),
                 readFile(rig.mediaFolder() + QStringLiteral("/clip2.bin")));

        const Finished second =
            runCli({QStringLiteral("upload"), project, QStringLiteral("--log-level=1")});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out.count(QStringLiteral("127.0.0.1 already has the correct file")), 6);
        QVERIFY(!second.out.contains(QStringLiteral("] - Uploading \"")));
        QCOMPARE(second.out.count(QStringLiteral("] - Uploading validator to")), 2);
        QVERIFY(second.out.contains(QStringLiteral("] - Getting status for 127.0.0.1\n")));
        QVERIFY(!second.out.contains(QStringLiteral("] - ["))); // level 2
        QVERIFY(second.err.isEmpty());
    }

    // One failed result makes the command fail; an automated run logs its
    // refusals as a scheduled run does.
    void aFailedResultExitsWithOne()
    {
        Simulator simulator;
        QVERIFY(simulator.isValid());
        Rig rig;
        const quint16 absent = closedPort();
        const QString project =
            rig.project(QStringLiteral("mixed.lmp"),
                        {{simulator.httpPort(0), simulator.ftpPort(0)}, {absent, absent}});
        QVERIFY(!project.isEmpty());

        const Finished both = runCli({QStringLiteral("upload"), project});
        QCOMPARE(both.exitCode, 1);
        const QStringList lines = both.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(resultLine(lines, QStringLiteral("Site 1")),
                 QStringLiteral("  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"));
        QCOMPARE(resultLine(lines, QStringLiteral("Site 2")),
                 QStringLiteral("   FAILED - Site 2 - Lights - 127.0.0.1 - Controller not found"));
        QVERIFY(both.out.contains(QStringLiteral(
            "[SCHEDULE] - Scheduled upload to 127.0.0.1 failed because the controller is not "
            "found\n")));

        const Finished chosen = runCli({QStringLiteral("upload"), project,
                                        QStringLiteral("--controller"), QStringLiteral("0")});
        QCOMPARE(chosen.exitCode, 0);
        QCOMPARE(reportLines(chosen.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)).size(), 3);
        // Only the chosen controller is asked.
        QVERIFY(!chosen.out.contains(QStringLiteral("Connecting to 127.0.0.1:%1\n").arg(absent)));
    }

    void ctrlCCancelsTheRun()
    {
        Simulator simulator({QStringLiteral("--fault"), QStringLiteral("all:slow=100000")});
        QVERIFY(simulator.isValid());
        Rig rig(2 * 1024 * 1024);
        const QString project = rig.project(QStringLiteral("slow.lmp"),
                                            {{simulator.httpPort(0), simulator.ftpPort(0)}});
        QVERIFY(!project.isEmpty());

        CliProcess upload({QStringLiteral("upload"), project});
        QVERIFY2(upload.waitForOutput(QStringLiteral("] - Uploading \"")),
                 qPrintable(upload.err()));
        upload.sendSignal(SIGINT);
        QVERIFY(upload.waitForFinished(15000));
        // Ended by the signal once the report is out, so that a script stops.
        QVERIFY(upload.crashed());
        QVERIFY(upload.out().contains(QStringLiteral("[FTP] - Cancelled upload 127.0.0.1\n")));
        QCOMPARE(resultLine(upload.outLines(), QStringLiteral("Site 1")),
                 QStringLiteral("CANCELLED - Site 1 - Lights - 127.0.0.1 - Upload was cancelled"));
        QVERIFY(upload.err().contains(QStringLiteral("cancelling the upload")));
    }

    // The command ends only once the mail server has the report.
    void mailsTheReportAndWaitsForIt()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        Simulator simulator;
        QVERIFY(simulator.isValid());
        Rig rig;
        const QString project =
            rig.project(QStringLiteral("mail.lmp"), {{simulator.httpPort(0), simulator.ftpPort(0)}},
                        Rig::mailTo(mail.port()));
        QVERIFY(!project.isEmpty());

        const Finished run = runCli({QStringLiteral("upload"), project});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(mail.messageCount(), 1);
        QVERIFY(mail.message(1).contains(
            QStringLiteral("  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded")));
        const qsizetype report = run.out.indexOf(ReportHeader);
        QVERIFY(report > 0);
        QVERIFY(run.out.indexOf(QStringLiteral("[SMTP] - Sent mail to ops@example.com\n")) >
                report);
    }

    // The demo rig of tools/run-app.sh: its video and audio are converted
    // before the screen's upload sends them.
    void theDemoRigUploadsItsConvertedMedia()
    {
        Simulator lights({QStringLiteral("-n"), QStringLiteral("2")});
        Simulator screen({QStringLiteral("--type"), QStringLiteral("3")});
        QVERIFY(lights.isValid() && screen.isValid());
        QTemporaryDir dir;
        const QString lightsPorts = dir.filePath(QStringLiteral("lights.json"));
        const QString screenPorts = dir.filePath(QStringLiteral("screen.json"));
        QVERIFY(lights.writeListing(lightsPorts) && screen.writeListing(screenPorts));
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        make.start(QStringLiteral("/usr/bin/python3"),
                   {TestEnvironment::sourceDir() + QStringLiteral("/tools/demo/make_demo.py"),
                    dir.filePath(QStringLiteral("rig")), lightsPorts, screenPorts});
        QVERIFY(make.waitForFinished(60000));
        QCOMPARE(make.exitCode(), 0);
        const QString json = QString::fromUtf8(make.readAllStandardOutput()).trimmed();
        const QString project = dir.filePath(QStringLiteral("demo.lmp"));
        QCOMPARE(runCli({QStringLiteral("import"), json, project}).exitCode, 0);

        const Finished run = runCli({QStringLiteral("upload"), project});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(resultLine(lines, QStringLiteral("Foyer")),
                 QStringLiteral("  SUCCESS - Foyer - Screen - 127.0.0.1 - Upload succeeded"));
        QCOMPARE(reportLines(lines).filter(QStringLiteral("  SUCCESS - ")).size(), 3);
        const qsizetype converted =
            run.out.indexOf(QStringLiteral("opening.mpg (Video) succeeded"));
        QVERIFY(converted > 0);
        QVERIFY(run.out.indexOf(QStringLiteral("opening.mpg\" to 127.0.0.1")) > converted);
        // The chunk file went, not the source.
        const QByteArray sent = readFile(screen.folder(0) + QStringLiteral("/opening.vid"));
        QVERIFY(!sent.isEmpty());
        QVERIFY(sent != readFile(dir.filePath(QStringLiteral("rig/media/opening.mpg"))));
    }

    void refusalsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString bad = QStringLiteral("BAD");   // replaced by a file that is no project
        const QString good = QStringLiteral("GOOD"); // replaced by a project of one controller
        QTest::newRow("status without project")
            << QStringList{QStringLiteral("status")} << QStringLiteral("no project given");
        QTest::newRow("upload without project")
            << QStringList{QStringLiteral("upload")} << QStringLiteral("no project given");
        QTest::newRow("run without project")
            << QStringList{QStringLiteral("run")} << QStringLiteral("no project given");
        QTest::newRow("two projects") << QStringList{QStringLiteral("upload"), good, good}
                                      << QStringLiteral("one project only");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("upload"), good, QStringLiteral("--fast")}
            << QStringLiteral("unknown option \"--fast\"");
        QTest::newRow("status has no log level")
            << QStringList{QStringLiteral("status"), good, QStringLiteral("--log-level=1")}
            << QStringLiteral("unknown option");
        QTest::newRow("run takes every controller")
            << QStringList{QStringLiteral("run"), good, QStringLiteral("--controller=0")}
            << QStringLiteral("unknown option");
        QTest::newRow("log level out of range")
            << QStringList{QStringLiteral("upload"), good, QStringLiteral("--log-level"),
                           QStringLiteral("3")}
            << QStringLiteral("--log-level takes 0, 1 or 2");
        QTest::newRow("controller not a number")
            << QStringList{QStringLiteral("upload"), good, QStringLiteral("--controller"),
                           QStringLiteral("left")}
            << QStringLiteral("--controller takes a controller identifier");
        QTest::newRow("controller without value")
            << QStringList{QStringLiteral("status"), good, QStringLiteral("--controller")}
            << QStringLiteral("--controller takes a controller identifier");
        QTest::newRow("controller not in project")
            << QStringList{QStringLiteral("upload"), good, QStringLiteral("--controller"),
                           QStringLiteral("5")}
            << QStringLiteral("has no controller 5");
        QTest::newRow("status of a refused project")
            << QStringList{QStringLiteral("status"), bad} << QStringLiteral("cannot open");
        QTest::newRow("upload of a refused project")
            << QStringList{QStringLiteral("upload"), bad} << QStringLiteral("cannot open");
        QTest::newRow("run of a refused project")
            << QStringList{QStringLiteral("run"), bad} << QStringLiteral("cannot open");
        QTest::newRow("missing project")
            << QStringList{QStringLiteral("upload"), QStringLiteral("/nonexistent/x.lmp")}
            << QStringLiteral("cannot open /nonexistent/x.lmp");
    }
    void refusalsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        Rig rig;
        const QString bad = rig.path(QStringLiteral("bad.lmp"));
        QFile badFile(bad);
        QVERIFY(badFile.open(QIODevice::WriteOnly));
        badFile.write("not a project at all");
        badFile.close();
        const QString good =
            rig.project(QStringLiteral("good.lmp"), {{closedPort(), closedPort()}});
        QVERIFY(!good.isEmpty());
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^BAD$")), bad);
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^GOOD$")), good);

        const Finished refused = runCli(arguments);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY(refused.out.isEmpty());
        QVERIFY2(refused.err.startsWith(QStringLiteral("rigwarden-cli: ")),
                 qPrintable(refused.err));
        QVERIFY2(refused.err.contains(error), qPrintable(refused.err));
        QCOMPARE(refused.err.count(QLatin1Char('\n')), 1);
    }
};

RW_TEST_MAIN(TestUploadCommand)
#include "tst_upload_command.moc"
