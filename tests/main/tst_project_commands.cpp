// rigwarden-cli upgrade, export and import, run as the operator runs them.

#include "cli_fixture.h"
#include "lum_document.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "test_main.h"

#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

using namespace CliFixture;
using namespace Qt::StringLiterals;
namespace PB = ProjectFileBytes;

namespace {

Finished runWithMasterPassword(const QStringList &arguments, const char *password)
{
    qputenv("RIGWARDEN_MASTER_PASSWORD", password);
    const Finished run = runCli(arguments);
    qunsetenv("RIGWARDEN_MASTER_PASSWORD");
    return run;
}

// Runs rigwarden-cli on a terminal of its own (its controlling one, so that
// Ctrl-C typed there becomes SIGINT) and types `typed` once the master
// password is asked for. What the terminal showed comes back, and a last
// line with the exit status (-N for signal N) and the terminal's echo as
// the command left it.
QString runOnTerminal(const QStringList &arguments, const QByteArray &typed)
{
    static const char script[] = R"(
import fcntl, os, select, subprocess, sys, termios, time
master, slave = os.openpty()
child = subprocess.Popen(sys.argv[2:], stdin=slave, stdout=slave, stderr=slave,
                         start_new_session=True,
                         preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
shown = b''
def read_while(going):
    global shown
    while going():
        if select.select([master], [], [], 0.05)[0]:
            shown += os.read(master, 65536)
read_while(lambda: b'Master password' not in shown and child.poll() is None)
time.sleep(0.2)
os.write(master, sys.argv[1].encode())
read_while(lambda: child.poll() is None)
os.set_blocking(master, False)
try:
    while chunk := os.read(master, 65536):
        shown += chunk
except OSError:
    pass
echo = termios.tcgetattr(slave)[3] & termios.ECHO
sys.stdout.write(shown.decode(errors='replace'))
print('status', child.returncode, 'echo', 'on' if echo else 'off')
)";
    QProcess process;
    process.start(u"/usr/bin/python3"_s,
                  QStringList{u"-c"_s, QString::fromLatin1(script), QString::fromLatin1(typed),
                              TestEnvironment::binDir() + u"/rigwarden-cli"_s} +
                      arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestProjectCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) { return m_dir.filePath(QString::fromLatin1(name)); }
    QString write(const QByteArray &bytes, const char *name)
    {
        PB::writeFile(path(name), bytes);
        return path(name);
    }

    // The sample project guarded by the master password "secret".
    QString guardedProject()
    {
        PB::Project project = PB::sampleProject(7);
        project.masterPassword = PasswordCipher::encode(u"secret"_s);
        return write(project.bytes(), "guarded.lmp");
    }

private slots:
    void initTestCase() { qunsetenv("RIGWARDEN_MASTER_PASSWORD"); }

    // The project is opened as the application opens it: a show file that
    // changed since it was read is analysed again.
    void upgradeWritesTheCurrentVersion()
    {
        const QString show = path("main.wrn");
        ShowFileBytes::General general;
        general.uuid = ShowFileBytes::uuidB;
        QVERIFY(ShowFileBytes::writeFile(show, general.bytes()));
        PB::Project project = PB::sampleProject(3);
        project.masterPassword.clear();
        project.groups[1].templates[0].showFile = show;
        const Finished run =
            runCli({u"upgrade"_s, write(project.bytes(), "old.lmp"), path("new.lmp")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(readFile(path("new.lmp")).mid(8, 4), QByteArray::fromHex("00000007"));
        LumDocument upgraded;
        QVERIFY(upgraded.load(path("new.lmp")));
        QCOMPARE(upgraded.controller(4)->hostname(), u"127.0.0.1"_s);
        QCOMPARE(upgraded.mailSettings().server, u"mail.example.com"_s);
        QCOMPARE(
            upgraded.group(3)->installationTemplate()->controllerTemplates()[0]->showProjectUuid(),
            QUuid(u"{10203040-5060-7080-90a0-b0c0d0e0f001}"_s));
    }

    // A missing folder, or a pipe that saving would replace by a file.
    void anUnwritableTargetExitsOne()
    {
        const QString fifo = path("pipe.lmp");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &target : {path("no-folder/new.lmp"), fifo}) {
            const Finished run =
                runCli({u"upgrade"_s, write(PB::sampleProject(0).bytes(), "v0.lmp"), target});
            QCOMPARE(run.exitCode, 1);
            QVERIFY(run.err.startsWith(u"rigwarden-cli: cannot write "_s + target));
        }
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    // An export cut short by a full disk is no success.
    void anOutputThatCannotBeWrittenExitsOne()
    {
        PB::Project project = PB::sampleProject(7);
        project.masterPassword.clear();
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_s);
        process.start(TestEnvironment::binDir() + u"/rigwarden-cli"_s,
                      {u"export"_s, write(project.bytes(), "full.lmp")});
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("cannot write the output"));
    }

    void theMasterPasswordGuardsOpening()
    {
        const QString in = guardedProject();
        Finished run = runCli({u"export"_s, in});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(u"RIGWARDEN_MASTER_PASSWORD"_s));
        QVERIFY(run.out.isEmpty());

        run = runWithMasterPassword({u"export"_s, in}, "wrong");
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err, u"rigwarden-cli: wrong master password for %1\n"_s.arg(in));

        run = runWithMasterPassword({u"upgrade"_s, in, path("guarded-new.lmp")}, "secret");
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(path("guarded-new.lmp")));
    }

    // Typed without echo; Ctrl-C at the prompt ends the command with the
    // terminal's echo back on.
    void theMasterPasswordIsTypedOnTheTerminal_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("ending");
        QTest::newRow("right") << "secret\n"_ba << u"\"rigwardenProject\": 1"_s
                               << u"status 0 echo on"_s;
        QTest::newRow("wrong") << "nope\n"_ba << u"wrong master password"_s
                               << u"status 2 echo on"_s;
        QTest::newRow("Ctrl-C") << "\x03"_ba << u"Master password"_s << u"status -2 echo on"_s;
    }
    void theMasterPasswordIsTypedOnTheTerminal()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QString, shown);
        QFETCH(QString, ending);
        const QString terminal = runOnTerminal({u"export"_s, guardedProject()}, typed);
        QVERIFY2(terminal.contains(shown), qPrintable(terminal));
        QCOMPARE(terminal.trimmed().section(u'\n', -1), ending);
        QVERIFY2(!terminal.contains(QString::fromLatin1(typed.trimmed())), qPrintable(terminal));
    }

    void importRefusesBadInputAndWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("syntax") << "{\n\"rigwardenProject\": 1,\n}"_ba << u"at line 3"_s;
        QTest::newRow("refused") << R"({"rigwardenProject": 1, "colour": "red"})"_ba
                                 << u"unknown key \"colour\""_s;
    }
    void importNeverWritesOverItsSource()
    {
        const QByteArray text = R"({"rigwardenProject": 1})";
        const QString json = write(text, "same.json");
        const Finished run = runCli({u"import"_s, json, json});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"is the JSON file itself"_s), qPrintable(run.err));
        QCOMPARE(readFile(json), text);
    }

    void importRefusesBadInputAndWritesNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        const QString json = write(text, "bad.json");
        const Finished run = runCli({u"import"_s, json, path("none.lmp")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith(u"rigwarden-cli: cannot import "_s + json));
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QVERIFY(!QFile::exists(path("none.lmp")));
    }

    // Help says what there is; usage errors exit with 2 and say what to do.
    void helpAndUsageErrors()
    {
        const Finished help = runCli({u"upload"_s, u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(u"Usage: rigwarden-cli upload PROJECT.lmp"_s));
        const Finished unknown = runCli({u"frobnicate"_s});
        QCOMPARE(unknown.exitCode, 2);
        QCOMPARE(unknown.err,
                 u"rigwarden-cli: unknown command \"frobnicate\"; see rigwarden-cli --help\n"_s);
        for (const QStringList &arguments :
             {QStringList{u"upgrade"_s, u"a.lmp"_s}, QStringList{u"export"_s},
              QStringList{u"import"_s, u"a.json"_s}}) {
            const Finished run = runCli(arguments);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(u"usage: rigwarden-cli "_s), qPrintable(run.err));
        }
    }
};

RW_TEST_MAIN(TestProjectCommands)
#include "tst_project_commands.moc"
