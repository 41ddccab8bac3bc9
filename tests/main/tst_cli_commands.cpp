// rigwarden-cli's commands end to end, as the operator runs them; the rules of
// the runs and the timer are the core's (tst_upload_runs).

#include "chunk_file.h"
#include "cli_fixture.h"
#include "fake_controller_http.h"
#include "media_maker.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "test_main.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/stat.h>
#include <unistd.h>

using namespace CliFixture;
namespace PB = ProjectFileBytes;

namespace {

const QString ReportHeader = u"This report was generated on "_s;

// What the terminal of rigwarden-cli showed (run_on_terminal.py), with its
// exit status and echo as the last line.
QString runOnTerminal(const QStringList &arguments, const QByteArray &typed)
{
    QProcess process;
    process.start(u"/usr/bin/python3"_s,
                  QStringList{TestEnvironment::sourceDir() + u"/tests/main/run_on_terminal.py"_s,
                              QString::fromLatin1(typed),
                              TestEnvironment::binDir() + u"/rigwarden-cli"_s} +
                      arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestCliCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    Rig m_rig;
    QByteArray m_clip;
    QString m_good;
    QString m_guarded; // the sample project, with the master password "secret"

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString write(const QByteArray &bytes, const char *name)
    {
        PB::writeFile(path(name), bytes);
        return path(name);
    }

private slots:
    void initTestCase()
    {
        qunsetenv("RIGWARDEN_MASTER_PASSWORD");
        m_good = m_rig.project(u"good.lmp"_s, {{1, 1}});
        QVERIFY(!m_good.isEmpty());
        PB::Project guarded = PB::sampleProject(7);
        guarded.masterPassword = PasswordCipher::encode(u"secret"_s);
        m_guarded = write(guarded.bytes(), "guarded.lmp");
        QVERIFY2(MediaMaker::makeMpeg2(path("clip.m2v"), 720, 576, u"25"_s, 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(path("multiplex.m2v"), 720, 576, u"25"_s, 1, u"vob"_s));
        QVERIFY(
            MediaMaker::makeTone(path("tone.mp3"), 44100, 2, 0.5, {u"-c:a"_s, u"libmp3lame"_s}));
        m_clip = readFile(path("clip.m2v"));
        QCOMPARE(::link(QFile::encodeName(path("clip.m2v")).constData(),
                        QFile::encodeName(path("clip-link.m2v")).constData()),
                 0);
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    }

    // Usage errors and refused input exit with 2 and one line on stderr that
    // says why, write nothing and leave the input as it was.
    void refusalsExitWithTwo_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error"); // parts separated by "|"
        // Upper-case words stand for files of the test: BAD is no project,
        // GOOD a project of one controller, GUARDED one with a master password,
        // SAME, SYNTAX and COLOUR are JSON files (the last two refused), NONE
        // is not there.
        const auto row = [](const char *name, const char *line, const char *error) {
            QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(error);
        };
        row("unknown command", "frobnicate",
            "unknown command \"frobnicate\"; see rigwarden-cli --help");
        row("upload without project", "upload", "no project given");
        row("unknown option", "upload GOOD --fast", "unknown option \"--fast\"");
        row("log level out of range", "upload GOOD --log-level 3", "--log-level takes 0, 1 or 2");
        row("controller not in project", "upload GOOD --controller 5", "has no controller 5");
        row("status of a refused project", "status BAD", "cannot open BAD");
        row("upgrade without target", "upgrade GOOD", "usage: rigwarden-cli ");
        row("export without project", "export", "usage: rigwarden-cli ");
        row("import without target", "import SAME", "usage: rigwarden-cli ");
        row("no master password", "export GUARDED", "RIGWARDEN_MASTER_PASSWORD");
        row("import onto its source", "import SAME SAME", "is the JSON file itself");
        row("JSON syntax", "import SYNTAX NONE", "cannot import SYNTAX|at line 3");
        row("JSON refused", "import COLOUR NONE", "cannot import COLOUR|unknown key \"colour\"");
    }
    void refusalsExitWithTwo()
    {
        QFETCH(QString, line);
        QFETCH(QString, error);
        const QByteArray same = R"({"rigwardenProject": 1})";
        const QMap<QString, QString> files = {
            {u"BAD"_s, write("not a project at all", "bad.lmp")},
            {u"GOOD"_s, m_good},
            {u"GUARDED"_s, m_guarded},
            {u"SAME"_s, write(same, "same.json")},
            {u"SYNTAX"_s, write("{\n\"rigwardenProject\": 1,\n}", "syntax.json")},
            {u"COLOUR"_s, write(R"({"rigwardenProject": 1, "colour": "red"})", "colour.json")},
            {u"NONE"_s, path("none.lmp")}};
        QStringList arguments = line.split(u' ');
        for (QString &argument : arguments)
            argument = files.value(argument, argument);
        for (auto file = files.begin(); file != files.end(); ++file)
            error.replace(file.key(), file.value());

        const Finished refused = runCli(arguments);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY(refused.out.isEmpty());
        QVERIFY2(refused.err.startsWith(u"rigwarden-cli: "_s), qPrintable(refused.err));
        for (const QString &part : error.split(u'|'))
            QVERIFY2(refused.err.contains(part), qPrintable(refused.err));
        QCOMPARE(refused.err.count(u'\n'), 1);
        QVERIFY(!QFile::exists(path("none.lmp")));
        QCOMPARE(readFile(files[u"SAME"_s]), same);
    }

    // Success is silent on a pipe (no progress line) and writes the chunk
    // file; otherwise one line on stderr says why, and the exit code is the
    // conversion routine's (its refusals are the media tests'), or 2 for a
    // usage error. The source is never written over.
    void transcodeConvertsOrSaysWhy_data()
    {
        QTest::addColumn<QString>("line"); // file names within the test folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on success, the first chunk's type
        QTest::newRow("video") << "--video clip.m2v clip.chunks" << 0 << "80000001";
        QTest::newRow("audio") << "--audio tone.mp3 tone.chunks" << 0 << "80000101";
        QTest::newRow("program stream")
            << "--video multiplex.m2v out" << 3
            << "%1/multiplex.m2v to %1/out: Input file is not a raw M2V";
        QTest::newRow("no output") << "--video a" << 2 << "takes a mode, a source and an output";
        QTest::newRow("onto its source") << "--video clip.m2v ./clip.m2v" << 2
                                         << "the output %1/./clip.m2v is the source itself";
        QTest::newRow("onto a pipe")
            << "--video clip.m2v pipe" << 2 << "the output %1/pipe is not a regular file";
        QTest::newRow("onto a hard link of its source")
            << "--video clip.m2v clip-link.m2v" << 2
            << "the output %1/clip-link.m2v is the source itself";
    }
    void transcodeConvertsOrSaysWhy()
    {
        QFETCH(QString, line);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QStringList arguments = line.split(u' ');
        for (qsizetype i = 1; i < arguments.size(); ++i)
            arguments[i] = m_dir.filePath(arguments[i]);
        // A failed conversion leaves an existing output as it was.
        const QString kept = path("out");
        QVERIFY(ShowFileBytes::writeFile(kept, "precious"));
        const Finished run = runCli(QStringList{u"transcode"_s} + arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(readFile(path("clip.m2v")), m_clip);
        QCOMPARE(readFile(kept), QByteArray("precious"));
        QCOMPARE(QDir(m_dir.path()).entryList({u"out.*"_s, u"*.chunks.*"_s}, QDir::Files),
                 QStringList());
        if (exitCode == 0) {
            QCOMPARE(run.out + run.err, QString());
            QString error;
            const QList<Chunk> chunks = ChunkFile::read(arguments.last(), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(QString::number(chunks.value(0).type, 16), said);
        } else {
            QVERIFY2(run.err.startsWith(u"rigwarden-cli: "_s) && run.err.count(u'\n') == 1 &&
                         run.err.contains(QString(said).replace(u"%1"_s, m_dir.path())),
                     qPrintable(run.err));
        }
    }

    // The project is opened as the application opens it: a show file that
    // changed since it was read is analysed again. What cannot be written (a
    // missing folder, a pipe that saving would replace by a file, a full disk
    // under the output) exits with 1.
    void upgradeWritesTheCurrentVersionOrExitsOne()
    {
        const QString show = path("main.wrn");
        ShowFileBytes::General general;
        general.uuid = ShowFileBytes::uuidB;
        QVERIFY(ShowFileBytes::writeFile(show, general.bytes()));
        PB::Project project = PB::sampleProject(3);
        project.masterPassword.clear();
        project.groups[1].templates[0].showFile = show;
        const QString old = write(project.bytes(), "old.lmp");
        const Finished run = runCli({u"upgrade"_s, old, path("new.lmp")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(readFile(path("new.lmp")).mid(8, 4), QByteArray::fromHex("00000007"));
        LumDocument upgraded;
        QVERIFY(upgraded.load(path("new.lmp")));
        QCOMPARE(
            upgraded.group(3)->installationTemplate()->controllerTemplates()[0]->showProjectUuid(),
            QUuid(u"{10203040-5060-7080-90a0-b0c0d0e0f001}"_s));

        const QString fifo = path("pipe.lmp");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &target : {path("no-folder/new.lmp"), fifo}) {
            const Finished refused = runCli({u"upgrade"_s, old, target});
            QCOMPARE(refused.exitCode, 1);
            QVERIFY(refused.err.startsWith(u"rigwarden-cli: cannot write "_s + target));
        }
        QVERIFY(!QFileInfo(fifo).isFile());

        // An export cut short by a full disk is no success.
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_s);
        process.start(TestEnvironment::binDir() + u"/rigwarden-cli"_s, {u"export"_s, m_good});
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("cannot write the output"));
    }

    // Without a terminal, the master password comes from the environment.
    void theMasterPasswordGuardsOpening()
    {
        qputenv("RIGWARDEN_MASTER_PASSWORD", "wrong");
        Finished run = runCli({u"export"_s, m_guarded});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err, u"rigwarden-cli: wrong master password for %1\n"_s.arg(m_guarded));
        qputenv("RIGWARDEN_MASTER_PASSWORD", "secret");
        run = runCli({u"upgrade"_s, m_guarded, path("guarded-new.lmp")});
        qunsetenv("RIGWARDEN_MASTER_PASSWORD");
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(path("guarded-new.lmp")));
    }

    // On a terminal it is typed without echo, and never shown; Ctrl-C at the
    // prompt ends the command with the terminal's echo back on.
    void theMasterPasswordIsTypedOnTheTerminal_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("status"); // -N for signal N
        QTest::newRow("right") << "secret\n"_ba << u"\"rigwardenProject\": 1"_s << 0;
        QTest::newRow("wrong") << "nope\n"_ba << u"wrong master password"_s << 2;
        QTest::newRow("Ctrl-C") << "\x03"_ba << u"Master password"_s << -2;
    }
    void theMasterPasswordIsTypedOnTheTerminal()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QString, shown);
        QFETCH(int, status);
        const QString terminal = runOnTerminal({u"export"_s, m_guarded}, typed);
        QVERIFY2(terminal.contains(shown), qPrintable(terminal));
        QCOMPARE(terminal.trimmed().section(u'\n', -1), u"status %1 echo on"_s.arg(status));
        QVERIFY2(!terminal.contains(QString::fromLatin1(typed.trimmed())), qPrintable(terminal));
    }

    // What a controller says never breaks the one-line-per-controller form.
    void statusCannotBeGivenLinesByAController()
    {
        FakeControllerHttp http;
        const QByteArray name = "<projectName>Show&#10;7&#9;Fake&#13;</projectName></response>";
        http.answer("/query/system", FakeControllerHttp::status(1).replace("</response>", name));
        const Finished status =
            runCli({u"status"_s, m_rig.project(u"one.lmp"_s, {{http.port(), 1}})});
        QCOMPARE(status.out.count(u'\n'), 1);
        QCOMPARE(status.out.split(u'\t').value(7), u"Show 7 Fake "_s);
    }

    // Status tells found, not found and wrong type apart, a line each. The
    // first upload sends everything, fails for the controllers not there or
    // of the wrong type (exit 1, logged as a scheduled run logs it) and ends
    // only once the mail server has the report; status then names the show
    // a controller runs. The second upload, of the controllers found, finds
    // every file on them and sends only the validator files. The log comes
    // first, in the viewer's form and up to the level asked for, then the
    // report. The controllers are the simulator program's, as its listing
    // names them.
    void statusAndUploadOfAFleet()
    {
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        QProcess simulator;
        simulator.start(TestEnvironment::binDir() + u"/rigwarden-sim"_s,
                        {u"--json"_s, u"-n"_s, u"3"_s, u"--fault"_s, u"2:wrong-type"_s});
        QVERIFY(simulator.waitForReadyRead(15000));
        QList<Rig::Controller> controllers =
            controllersOf(QJsonDocument::fromJson(simulator.readLine()));
        controllers.insert(2, {1, 1}); // site 3 is not there; site 4 is of the wrong type
        const QString project = m_rig.project(u"four.lmp"_s, controllers, mail.port());

        const Finished status = runCli({u"status"_s, project});
        QCOMPARE(status.exitCode, 1);
        QVERIFY(status.err.isEmpty());
        QStringList lines = status.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QString found =
            u"0\tSite 1\tLights\t127.0.0.1:%1\tfound\tNX1\t99.0.0\t"_s.arg(controllers[0].httpPort);
        QCOMPARE(lines.at(0), found + u"-\t-"_s);
        QCOMPARE(lines.at(2), u"2\tSite 3\tLights\t127.0.0.1:1\tnot found\t-\t-\t-\t-"_s);
        const QStringList wrong = lines.at(3).split(u'\t');
        QCOMPARE(wrong.size(), 9);
        QCOMPARE(wrong.at(4), u"wrong type"_s);
        QVERIFY(wrong.at(5) != u"NX1"_s && wrong.at(5) != u"-"_s);

        const Finished first = runCli({u"upload"_s, project});
        QCOMPARE(first.exitCode, 1);
        const qsizetype reportAt = first.out.indexOf(ReportHeader);
        const QRegularExpression logLine(QRegularExpression::anchoredPattern(
            u"\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4} - "
            "\\[(APP|HTTP|FTP|SMTP|SCHEDULE|MEDIA)\\] - .*"_s));
        for (const QString &line : first.out.left(reportAt).split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(logLine.match(line).hasMatch(), qPrintable(line));
        const QStringList report = first.out.mid(reportAt).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(report.size(), 7); // header, start, a line per controller, the mail
        QCOMPARE(first.out.count(u"] - Uploading \""_s), 6);
        QCOMPARE(first.out.count(u"] - Uploading validator to 127.0.0.1\n"_s), 2);
        QVERIFY(!first.out.contains(u"Getting status for"_s)); // level 1
        for (const QString &result :
             {u"  SUCCESS - Site 2 - Lights - 127.0.0.1 - Upload succeeded"_s,
              u"   FAILED - Site 3 - Lights - 127.0.0.1 - Controller not found"_s,
              u"   FAILED - Site 4 - Lights - 127.0.0.1 - Controller is wrong type"_s})
            QVERIFY2(report.join(u'\n').contains(result + u" - "_s), qPrintable(result));
        QVERIFY(first.out.contains(
            u"[SCHEDULE] - Scheduled upload to 127.0.0.1 failed because the controller is not "
            "found\n"_s));
        QCOMPARE(mail.messageCount(), 1);
        QVERIFY(mail.message(1).contains(
            u"  SUCCESS - Site 1 - Lights - 127.0.0.1 - Upload succeeded"_s));
        QVERIFY(report.last().endsWith(u"[SMTP] - Sent mail to ops@example.com"_s));

        const Finished one = runCli({u"status"_s, project, u"--controller"_s, u"0"_s});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(one.out, found + u"Project 00112233\t00112233-4455-6677-8899-aabbccddeeff\n"_s);

        const Finished second = runCli(
            {u"upload"_s, project, u"--log-level=1"_s, u"--controller=0"_s, u"--controller=1"_s});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out.count(u"127.0.0.1 already has the correct file"_s), 6);
        QVERIFY(!second.out.contains(u"] - Uploading \""_s));
        QCOMPARE(second.out.count(u"] - Uploading validator to"_s), 2);
        QVERIFY(second.out.contains(u"] - Getting status for 127.0.0.1\n"_s));
        QVERIFY(!second.out.contains(u"] - ["_s)); // level 2
        // Only the chosen controllers are asked.
        QVERIFY(!second.out.contains(u"Connecting to 127.0.0.1:1\n"_s));
        simulator.kill();
        simulator.waitForFinished();
    }

    // Ctrl-C cancels the upload under way. `upload` ends by the signal once
    // the report is out, so that a script stops; `run` (whose scheduled time
    // passed while nothing ran, so it starts at once) ends with 0 once the
    // report is mailed, its project unchanged.
    void ctrlCCancelsTheUploadUnderWay_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("upload") << u"upload"_s;
        QTest::newRow("run") << u"run"_s;
    }
    void ctrlCCancelsTheUploadUnderWay()
    {
        QFETCH(QString, command);
        const bool run = command == u"run"_s;
        SmtpTestServer mail;
        QVERIFY(mail.port() != 0);
        const auto simulator = startSimulator({u"--fault"_s, u"all:slow=100000"_s});
        QVERIFY(simulator);
        Rig rig;
        rig.writeClip(1, QByteArray(2 * 1024 * 1024, 'a'));
        const QDateTime passed = QDateTime::currentDateTime().addSecs(-600);
        const QString project = rig.project(
            u"slow.lmp"_s, controllersOf(simulator->listing(), run ? passed : QDateTime()),
            run ? mail.port() : 0);
        const QByteArray saved = readFile(project);

        CliProcess process({command, project});
        QVERIFY2(process.waitForOutput(u"] - Uploading \""_s), qPrintable(process.err()));
        process.sendSignal(SIGINT);
        QVERIFY(process.waitForFinished(20000));
        QVERIFY(process.out().contains(u"[FTP] - Cancelled upload 127.0.0.1\n"_s));
        QVERIFY(process.out().contains(
            u"\nCANCELLED - Site 1 - Lights - 127.0.0.1 - Upload was cancelled - "_s));
        if (run) {
            QVERIFY(process.out().contains(
                u"Scheduled upload time (%1) has passed - uploading now\n"_s.arg(
                    passed.toString(Qt::TextDate))));
            QVERIFY(!process.crashed());
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(mail.messageCount(), 1);
            QVERIFY(mail.message(1).contains(u"Upload was cancelled"_s));
            QCOMPARE(readFile(project), saved);
        } else {
            QVERIFY(process.crashed());
            QVERIFY(process.err().contains(u"cancelling the upload"_s));
        }
    }

    // Ctrl-C while the mail goes out cancels nothing: the run is over, and
    // the command still ends by its result.
    void ctrlCWhileMailingEndsByTheResult()
    {
        QTcpServer silentMail;
        QVERIFY(silentMail.listen(QHostAddress::LocalHost));
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const QString project = m_rig.project(
            u"silent-mail.lmp"_s, controllersOf(simulator->listing()), silentMail.serverPort());

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

    // `run` as systemd sees it: READY=1 once the project is open and
    // STOPPING=1 on SIGTERM, as datagrams on a fake $NOTIFY_SOCKET. A project
    // that cannot be opened never counts as started.
    void runTellsTheServiceManager_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("projectExists");
        QTest::newRow("path") << m_dir.filePath(u"notify"_s) << true;
        QTest::newRow("abstract name")
            << u"@rigwarden-test-%1"_s.arg(QCoreApplication::applicationPid()) << true;
        QTest::newRow("refused project") << m_dir.filePath(u"refused"_s) << false;
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
        const QString project = projectExists ? m_good : m_dir.filePath(u"missing.lmp"_s);
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
};

RW_TEST_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
