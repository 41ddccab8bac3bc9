#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void versionAndHelp()
    {
        const Finished version = runCli({u"--version"_s});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, u"1.0.8\n"_s);
        const Finished help = runCli({u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(u"Usage: rigwarden-cli"_s));
        QVERIFY(help.out.contains(u"--version"_s));
        const Finished commandHelp = runCli({u"upload"_s, u"--help"_s});
        QCOMPARE(commandHelp.exitCode, 0);
        QVERIFY(commandHelp.out.startsWith(u"Usage: rigwarden-cli upload PROJECT.lmp"_s));
    }

    void usageErrorsExitWithTwoAndSayWhatToDo()
    {
        const Finished none = runCli({});
        QCOMPARE(none.exitCode, 2);
        QVERIFY(none.err.contains(u"--help"_s));
        const Finished unknown = runCli({u"frobnicate"_s});
        QCOMPARE(unknown.exitCode, 2);
        QCOMPARE(unknown.err,
                 u"rigwarden-cli: unknown command \"frobnicate\"; see rigwarden-cli --help\n"_s);
        QVERIFY(unknown.out.isEmpty());
    }
};

RW_TEST_MAIN(TestCli)
#include "tst_cli.moc"
