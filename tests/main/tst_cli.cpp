#include "test_main.h"

#include <QProcess>

namespace {
struct Run
{
    int exitCode;
    QString out;
    QString err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(TestEnvironment::binDir() + QStringLiteral("/rigwarden-cli"), arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void versionPrintsTheVersionText()
    {
        const Run run = runCli({QStringLiteral("--version")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("1.0.8\n"));
    }

    void helpDescribesTheCommandLine()
    {
        const Run run = runCli({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: rigwarden-cli")));
        QVERIFY(run.out.contains(QStringLiteral("--version")));
    }

    void usageErrorsExitWithTwoAndSayWhatToDo()
    {
        const Run none = runCli({});
        QCOMPARE(none.exitCode, 2);
        QVERIFY(none.err.contains(QStringLiteral("--help")));
        const Run unknown = runCli({QStringLiteral("frobnicate")});
        QCOMPARE(unknown.exitCode, 2);
        QCOMPARE(unknown.err, QStringLiteral("rigwarden-cli: unknown command \"frobnicate\"; "
                                             "see rigwarden-cli --help\n"));
        QVERIFY(unknown.out.isEmpty());
    }
};

RW_TEST_MAIN(TestCli)
#include "tst_cli.moc"
