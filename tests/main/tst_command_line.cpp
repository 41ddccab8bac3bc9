#include "command_line.h"
#include "test_main.h"

namespace {
StartupOptions parse(const QStringList &arguments, const QString &lastFile = QString())
{
    return CommandLine::parse(arguments, [lastFile] { return lastFile; });
}
} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void logLevel_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("level");
        QTest::newRow("2") << QStringLiteral("-log_level=2") << 2;
        QTest::newRow("3") << QStringLiteral("-log_level=3") << 3;
        QTest::newRow("not a number") << QStringLiteral("-log_level=abc") << 0;
        QTest::newRow("empty") << QStringLiteral("-log_level=") << 0;
        QTest::newRow("negative") << QStringLiteral("-log_level=-1") << -1;
        QTest::newRow("other case ignored") << QStringLiteral("-LOG_LEVEL=2") << 0;
    }
    void logLevel()
    {
        QFETCH(QString, argument);
        QFETCH(int, level);
        QCOMPARE(parse({argument}).logLevel, level);
    }

    void theLaterProjectPathWins()
    {
        const StartupOptions options =
            parse({QStringLiteral("a.lmp"), QStringLiteral("--bogus"), QStringLiteral("/x/b.lmp")});
        QCOMPARE(options.fileToOpen, QStringLiteral("/x/b.lmp"));
        QVERIFY(!options.startMinimised);
        QCOMPARE(options.logLevel, 0);
    }

    void onlyTheExactExtensionNamesAProject()
    {
        QVERIFY(parse({QStringLiteral("show.LMP")}).fileToOpen.isEmpty());
        QVERIFY(parse({QStringLiteral("lmp")}).fileToOpen.isEmpty());
        QVERIFY(parse({QStringLiteral("notes.txt")}).fileToOpen.isEmpty());
        QCOMPARE(parse({QStringLiteral(".lmp")}).fileToOpen, QStringLiteral(".lmp"));
    }

    void loadLastFileTakesTheStoredPathInItsTurn()
    {
        QCOMPARE(
            parse({QStringLiteral("-load_last_file")}, QStringLiteral("/p/last.lmp")).fileToOpen,
            QStringLiteral("/p/last.lmp"));
        QVERIFY(parse({QStringLiteral("-load_last_file")}).fileToOpen.isEmpty());
        QCOMPARE(parse({QStringLiteral("-load_last_file"), QStringLiteral("b.lmp")},
                       QStringLiteral("/p/last.lmp"))
                     .fileToOpen,
                 QStringLiteral("b.lmp"));
    }

    void startMinimised()
    {
        QVERIFY(parse({QStringLiteral("-start_minimised")}).startMinimised);
        QVERIFY(!parse({QStringLiteral("-start_minimized")}).startMinimised);
    }

    void handoverCarriesOnlyTheFirstArgument()
    {
        QCOMPARE(CommandLine::handoverMessage({}), QStringLiteral("launch"));
        QCOMPARE(CommandLine::handoverMessage({QStringLiteral("a.lmp"), QStringLiteral("b.lmp")}),
                 QStringLiteral("launch a.lmp"));
        QCOMPARE(CommandLine::handoverMessage({QStringLiteral("-log_level=2")}),
                 QStringLiteral("launch -log_level=2"));
    }
};

RW_TEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
