// rigwarden-cli upgrade, export and import, run as the operator runs them.

#include "lum_document.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace PB = ProjectFileBytes;

namespace {

struct Run
{
    int exitCode;
    QString out;
    QString err;
};

Run runCli(const QStringList &arguments, const QString &masterPassword = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("RIGWARDEN_MASTER_PASSWORD"));
    if (!masterPassword.isNull())
        environment.insert(QStringLiteral("RIGWARDEN_MASTER_PASSWORD"), masterPassword);
    process.setProcessEnvironment(environment);
    process.start(TestEnvironment::binDir() + QStringLiteral("/rigwarden-cli"), arguments);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Runs the command on a terminal (a pseudo-terminal) and types `typed` when
// the master password is asked for; everything the terminal showed comes back.
Run runOnTerminal(const QStringList &arguments, const QByteArray &typed)
{
    static const char script[] = R"(
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
shown = b''
def read():
    global shown
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        return False
    shown += chunk
    return bool(chunk)
while b'Master password' not in shown and read():
    pass
os.write(fd, os.environ['TYPED'].encode() + b'\n')
while read():
    pass
status = os.waitpid(pid, 0)[1]
sys.stdout.write(shown.decode())
sys.exit(os.waitstatus_to_exitcode(status))
)";
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("RIGWARDEN_MASTER_PASSWORD"));
    environment.insert(QStringLiteral("TYPED"), QString::fromUtf8(typed));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{QStringLiteral("-c"), QString::fromLatin1(script),
                              TestEnvironment::binDir() + QStringLiteral("/rigwarden-cli")} +
                      arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    QString guardedProject(const char *name)
    {
        PB::Project project = PB::sampleProject(7);
        project.masterPassword = PasswordCipher::encode(QStringLiteral("secret"));
        return write(project.bytes(), name);
    }

    // A version 3 project without a master password.
    QString oldProject()
    {
        PB::Project project = PB::sampleProject(3);
        project.masterPassword.clear();
        return write(project.bytes(), "old.lmp");
    }

private slots:
    void upgradeWritesTheCurrentVersion()
    {
        const Run run = runCli({QStringLiteral("upgrade"), oldProject(), path("new.lmp")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(readAll(path("new.lmp")).mid(8, 4), QByteArray::fromHex("00000007"));
        LumDocument upgraded;
        QVERIFY(upgraded.load(path("new.lmp")));
        QCOMPARE(upgraded.controller(4)->hostname(), QStringLiteral("127.0.0.1"));
        QCOMPARE(upgraded.mailSettings().server, QStringLiteral("mail.example.com"));
    }

    void upgradeAnalysesShowsThatChangedSinceTheyWereRead()
    {
        // The sample's first template names a show file read on 2 January 2024.
        const QString show = path("main.wrn");
        ShowFileBytes::General general;
        general.uuid = ShowFileBytes::uuidB;
        QVERIFY(ShowFileBytes::writeFile(show, general.bytes()));
        PB::Project project = PB::sampleProject(7);
        project.masterPassword.clear();
        project.groups[1].templates[0].showFile = show;
        const Run run = runCli({QStringLiteral("upgrade"), write(project.bytes(), "shows.lmp"),
                                path("shows-new.lmp")});
        QCOMPARE(run.exitCode, 0);
        LumDocument upgraded;
        QVERIFY(upgraded.load(path("shows-new.lmp")));
        QCOMPARE(
            upgraded.group(3)->installationTemplate()->controllerTemplates()[0]->showProjectUuid(),
            QUuid(QStringLiteral("{10203040-5060-7080-90a0-b0c0d0e0f001}")));
    }

    void aRefusedProjectExitsTwoAndWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        PB::Project project = PB::sampleProject(7);
        project.version = 8;
        QTest::newRow("later version") << project.bytes() << QStringLiteral("later version");
        QTest::newRow("truncated") << PB::sampleProject(5).bytes().left(300)
                                   << QStringLiteral("ends before the project is complete");
    }

    void aRefusedProjectExitsTwoAndWritesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString in = write(bytes, "bad.lmp");
        const Run run = runCli({QStringLiteral("upgrade"), in, path("never.lmp")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith(QStringLiteral("rigwarden-cli: cannot open ") + in));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(!QFile::exists(path("never.lmp")));
    }

    void anUnwritableTargetExitsOne()
    {
        const Run run =
            runCli({QStringLiteral("upgrade"), oldProject(), path("no-folder/new.lmp")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.startsWith(QStringLiteral("rigwarden-cli: cannot write ")));
    }

    void theMasterPasswordGuardsOpening()
    {
        const QString in = guardedProject("guarded.lmp");
        const QString plain = QStringLiteral("secret");

        Run run = runCli({QStringLiteral("export"), in});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("RIGWARDEN_MASTER_PASSWORD")));
        QVERIFY(run.out.isEmpty());

        run = runCli({QStringLiteral("export"), in}, QStringLiteral("wrong"));
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err, QStringLiteral("rigwarden-cli: wrong master password for %1\n").arg(in));

        run = runCli({QStringLiteral("upgrade"), in, path("guarded-new.lmp")}, plain);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(path("guarded-new.lmp")));
    }

    void theMasterPasswordIsTypedWithoutEcho()
    {
        const QString in = guardedProject("typed.lmp");
        const QByteArray plain = "secret";
        Run run = runOnTerminal({QStringLiteral("export"), in}, plain);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QStringLiteral("\"rigwardenProject\": 1")));
        QVERIFY2(!run.out.contains(QString::fromLatin1(plain)), qPrintable(run.out));

        run = runOnTerminal({QStringLiteral("export"), in}, "nope");
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.contains(QStringLiteral("wrong master password")));
    }

    // Ctrl-C at the prompt ends the command with the terminal's echo back on.
    void ctrlCAtThePromptLeavesEchoOn()
    {
        const QString in = guardedProject("interrupted.lmp");
        // The command gets a terminal of its own as its controlling one, so
        // that Ctrl-C typed there becomes SIGINT; the terminal's modes are
        // read back once it has ended.
        static const char script[] = R"(
import fcntl, os, subprocess, sys, termios, time
master, slave = os.openpty()
def take_terminal():
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
child = subprocess.Popen(sys.argv[1:], stdin=slave, stdout=slave, stderr=slave,
                         start_new_session=True, preexec_fn=take_terminal)
shown = b''
while b'Master password' not in shown:
    shown += os.read(master, 4096)
time.sleep(0.2)
os.write(master, b'\x03')
status = child.wait()
echo = termios.tcgetattr(slave)[3] & termios.ECHO
print('status', status, 'echo', 'on' if echo else 'off')
)";
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("RIGWARDEN_MASTER_PASSWORD"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-c"), QString::fromLatin1(script),
                       TestEnvironment::binDir() + QStringLiteral("/rigwarden-cli"),
                       QStringLiteral("export"), in});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                 QStringLiteral("status -2 echo on"));
    }

    void exportThenImportGivesTheSameProject()
    {
        PB::Project project = PB::sampleProject(7);
        project.masterPassword.clear();
        project.mail.password.clear();
        for (PB::Group &group : project.groups)
            group.password.clear();
        for (PB::Installation &installation : project.installations)
            installation.password.clear();
        for (PB::Controller &controller : project.controllers)
            controller.password.clear();
        const Run exported = runCli({QStringLiteral("export"), write(project.bytes(), "e.lmp")});
        QCOMPARE(exported.exitCode, 0);
        QVERIFY(QJsonDocument::fromJson(exported.out.toUtf8()).isObject());
        const QString json = path("e.json");
        PB::writeFile(json, exported.out.toUtf8());

        const Run imported = runCli({QStringLiteral("import"), json, path("i.lmp")});
        QCOMPARE(imported.exitCode, 0);
        QVERIFY2(imported.err.isEmpty(), qPrintable(imported.err));
        const Run again = runCli({QStringLiteral("export"), path("i.lmp")});
        QCOMPARE(again.out, exported.out);
    }

    void importRefusesBadInputAndWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("syntax") << QByteArray("{\n\"rigwardenProject\": 1,\n}")
                                << QStringLiteral("at line 3");
        QTest::newRow("not an object")
            << QByteArray("[1]") << QStringLiteral("the text is not a JSON object");
        QTest::newRow("refused") << QByteArray(R"({"rigwardenProject": 1, "colour": "red"})")
                                 << QStringLiteral("unknown key \"colour\"");
    }

    void importRefusesBadInputAndWritesNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        const QString json = write(text, "bad.json");
        const Run run = runCli({QStringLiteral("import"), json, path("none.lmp")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.startsWith(QStringLiteral("rigwarden-cli: cannot import ") + json));
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QVERIFY(!QFile::exists(path("none.lmp")));
    }

    void usageErrors()
    {
        for (const QStringList &arguments :
             {QStringList{QStringLiteral("upgrade"), QStringLiteral("a.lmp")},
              QStringList{QStringLiteral("export")},
              QStringList{QStringLiteral("import"), QStringLiteral("a.json")}}) {
            const Run run = runCli(arguments);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QStringLiteral("usage: rigwarden-cli ")),
                     qPrintable(run.err));
        }
    }
};

RW_TEST_MAIN(TestProjectCommands)
#include "tst_project_commands.moc"
