// The crash handler, in child processes of this test that crash by each means
// (the test process itself never installs it), and in rigwarden-cli.

#include "cli_fixture.h"
#include "crash_handler.h"
#include "lum_assert.h"

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <latch>
#include <stdexcept>
#include <thread>

using namespace CliFixture;

// The sanitizers own SIGSEGV and catch a null write before it happens.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

namespace {

// What the children run; the names must show up in the dumps' stacks.
int *volatile nowhere = nullptr;

[[gnu::noinline]] void crashByNullWrite()
{
    *nowhere = 1;
}

[[gnu::noinline]] void crashByAbort()
{
    std::abort();
}

[[gnu::noinline]] void crashByException()
{
    throw std::runtime_error("nobody catches this");
}

[[gnu::noinline]] int crashByRecursion(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    return nowhere ? 0 : crashByRecursion(depth + 1) + frame[0];
}

[[gnu::noinline]] void crashByAssertion()
{
    LUM_ASSERT(nowhere != nullptr);
}

[[gnu::noinline]] void crashInTwoThreads()
{
    std::latch ready(2);
    const auto crash = [&ready] {
        ready.arrive_and_wait();
        crashByNullWrite();
    };
    std::jthread first(crash);
    std::jthread second(crash);
}

// The child: tst_crash_handler --crash MODE FOLDER
int runChild(const QString &mode, const QString &folder)
{
    const rlimit noCoreFiles{0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFiles);
    std::printf("installed %d", installCrashHandler(folder));
    if (mode == u"twice")
        std::printf(" %d", installCrashHandler(folder + u"/second"_s, u"second"_s));
    std::printf("\n");
    std::fflush(stdout);
    setCrashMessageProgram(TestEnvironment::binDir() + u'/' + crashMessageProgramName());
    if (mode == u"null")
        crashByNullWrite();
    else if (mode == u"abort" || mode == u"twice" || mode == u"file")
        crashByAbort();
    else if (mode == u"exception")
        crashByException();
    else if (mode == u"overflow")
        return crashByRecursion(0);
    else if (mode == u"assertion")
        crashByAssertion();
    else if (mode == u"threads")
        crashInTwoThreads();
    return 0;
}

struct Crash
{
    int signalNumber = 0; // 0: the child exited
    QString out;
    QString err;
};

Crash crashChild(const QString &mode, const QString &folder, bool withDisplay = false)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    if (withDisplay) {
        environment.insert(u"DISPLAY"_s, u":7"_s); // the window is offscreen all the same
        environment.insert(u"RW_CRASH_MESSAGE_ANSWER"_s, u"1"_s);
    }
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {u"--crash"_s, mode, folder});
    child.waitForFinished(60000);
    const bool bySignal = child.exitStatus() == QProcess::CrashExit;
    return {bySignal ? child.exitCode() : 0, QString::fromLocal8Bit(child.readAllStandardOutput()),
            QString::fromLocal8Bit(child.readAllStandardError())};
}

// The names a dump made between the two times may have, local time.
bool namedInTime(const QString &name, const QDateTime &before, const QDateTime &after)
{
    for (QDateTime at = before.addSecs(-1); at <= after.addSecs(1); at = at.addSecs(1)) {
        if (name == u"core_dump"_s + at.toString(u"_MMdd_HH_mm_ss"_s) + u".dmp"_s)
            return true;
    }
    return false;
}

// The function that `addr2line` names at the frame of the stack that
// mentions `function`, as DEVELOPING.md tells a developer to look it up.
QString lineOfFrame(const QString &dump, const QString &function)
{
    const QRegularExpressionMatch frame =
        QRegularExpression(u"^  #\\d+ 0x[0-9a-f]+ (\\S+) (0x[0-9a-f]+) \\S*%1\\S*$"_s.arg(function),
                           QRegularExpression::MultilineOption)
            .match(dump);
    QProcess addr2line;
    addr2line.start(u"addr2line"_s,
                    {u"-f"_s, u"-C"_s, u"-e"_s, frame.captured(1), frame.captured(2)});
    addr2line.waitForFinished();
    return QString::fromLocal8Bit(addr2line.readAllStandardOutput());
}

} // namespace

class TestCrashHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone without data files, with daylight saving in its rules.
        qputenv("TZ", "XYZ-3ABC,M3.5.0,M10.5.0/3");
        tzset();
    }

    void leavesOneNamedDump_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("sanitizerOwnsIt");
        QTest::newRow("null write") << "null" << SIGSEGV << "crashByNullWrite" << true;
        QTest::newRow("abort") << "abort" << SIGABRT << "crashByAbort" << false;
        QTest::newRow("uncaught exception")
            << "exception" << SIGABRT << "crashByException" << false;
        QTest::newRow("stack overflow") << "overflow" << SIGSEGV << "crashByRecursion" << true;
        QTest::newRow("failed assertion") << "assertion" << SIGABRT << "crashByAssertion" << false;
        QTest::newRow("two threads") << "threads" << SIGSEGV << "crashByNullWrite" << true;
    }

    void leavesOneNamedDump()
    {
        QFETCH(QString, mode);
        QFETCH(int, signalNumber);
        QFETCH(QString, function);
        QFETCH(bool, sanitizerOwnsIt);
        if (Sanitized && sanitizerOwnsIt)
            QSKIP("the sanitizers handle this fault themselves");
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"dumps/nested"_s);
        const QDateTime before = QDateTime::currentDateTime();
        const Crash crash = crashChild(mode, folder);
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(crash.signalNumber, signalNumber);
        const QStringList dumps = QDir(folder).entryList(QDir::Files);
        QCOMPARE(dumps.size(), 1);
        QVERIFY2(namedInTime(dumps.first(), before, after), qPrintable(dumps.first()));
        const QString path = folder + u'/' + dumps.first();
        QVERIFY2(crash.err.contains(u"The application has encountered an error.\n\nSaved crash "
                                    "dump file to\n'%1'\n"_s.arg(path)),
                 qPrintable(crash.err));
        const QString dump = QString::fromUtf8(readFile(path));
        QVERIFY2(dump.contains(u"\nsignal: %1 "_s.arg(signalNumber)), qPrintable(dump));
        QVERIFY2(lineOfFrame(dump, function).contains(function), qPrintable(dump));
        if (mode == u"assertion")
            QVERIFY(
                dump.contains(u"\nreason: Error Assert: 'nowhere != nullptr' is FALSE at line "_s));
        if (signalNumber == SIGSEGV && mode != u"overflow")
            QVERIFY(dump.contains(u"\naddress: 0x0000000000000000\n"_s));
        QVERIFY(dump.contains(u"\nversion: %1\n"_s.arg(QString::fromLatin1(RW_VERSION_TEXT))));
        QVERIFY(dump.contains(u" build-id "_s));
    }

    // With a display the message program shows the window (DUMP: the dump's
    // path), and stderr stays quiet; a second installation is refused. A file
    // in the folder's place leaves no handler.
    void showsTheMessageInAWindow_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("out");
        QTest::newRow("installed twice")
            << u"twice"_s
            << u"installed 1 0\nApplication Error\nThe application has encountered an error.\n\n"
               "Saved crash dump file to\n'DUMP'\n"_s;
        QTest::newRow("a file in the folder's place") << u"file"_s << u"installed 0\n"_s;
    }
    void showsTheMessageInAWindow()
    {
        QFETCH(QString, mode);
        QFETCH(QString, out);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"core_dumps"_s);
        if (mode == u"file")
            QVERIFY(ShowFileBytes::writeFile(file, "not a folder"));
        const Crash crash = crashChild(mode, mode == u"file" ? file : dir.path(), true);
        QCOMPARE(crash.signalNumber, SIGABRT);
        // One dump, or the file; no second folder.
        const QStringList made =
            QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        QCOMPARE(made.size(), 1);
        QCOMPARE(crash.out, out.replace(u"DUMP"_s, dir.filePath(made.first())));
        QVERIFY2(!crash.err.contains(u"crash dump"_s), qPrintable(crash.err));
    }

    // The command line installs the handler at start and tells on stderr.
    void theCommandLineLeavesADump()
    {
        Rig rig;
        const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
        const QString project = rig.project(u"later.lmp"_s, {{1, 1, later}});
        CliProcess run({u"run"_s, project});
        QVERIFY2(run.waitForOutput(u"Next upload scheduled for"_s), qPrintable(run.err()));
        run.sendSignal(SIGABRT);
        QVERIFY(run.waitForFinished());
        QVERIFY(run.crashed());
        QCOMPARE(run.exitCode(), SIGABRT);
        const QString folder =
            qEnvironmentVariable("XDG_DATA_HOME") + u"/Lumora/Rigwarden/core_dumps"_s;
        const QStringList dumps = QDir(folder).entryList(QDir::Files);
        QCOMPARE(dumps.size(), 1);
        QVERIFY2(
            run.err().contains(u"Saved crash dump file to\n'%1/%2'\n"_s.arg(folder, dumps.first())),
            qPrintable(run.err()));
        QVERIFY(readFile(folder + u'/' + dumps.first()).contains("\nsignal: 6 SIGABRT\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--crash") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestCrashHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crash_handler.moc"
