#include "command_line.h"
#include "test_main.h"

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // Options are matched to the letter; the stored last file is taken in its
    // turn, and a later project path replaces an earlier one.
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("logLevel");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<QString>("fileToOpen"); // "/p/last.lmp" is stored, but for "none stored"
        QTest::newRow("log level") << QStringList{u"-log_level=3"_s} << 3 << false << QString();
        QTest::newRow("negative level")
            << QStringList{u"-log_level=-1"_s} << -1 << false << QString();
        QTest::newRow("other case")
            << QStringList{u"-LOG_LEVEL=2"_s, u"show.LMP"_s} << 0 << false << QString();
        QTest::newRow("minimised") << QStringList{u"-start_minimised"_s} << 0 << true << QString();
        QTest::newRow("other spelling")
            << QStringList{u"-start_minimized"_s} << 0 << false << QString();
        QTest::newRow("later path wins")
            << QStringList{u"a.lmp"_s, u"--bogus"_s, u"/x/b.lmp"_s} << 0 << false << u"/x/b.lmp"_s;
        QTest::newRow("not a project")
            << QStringList{u"lmp"_s, u"notes.txt"_s} << 0 << false << QString();
        QTest::newRow("last file")
            << QStringList{u"-load_last_file"_s} << 0 << false << u"/p/last.lmp"_s;
        QTest::newRow("none stored")
            << QStringList{u"-load_last_file"_s} << 0 << false << QString();
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, logLevel);
        QFETCH(bool, minimised);
        QFETCH(QString, fileToOpen);
        const QString stored =
            qstrcmp(QTest::currentDataTag(), "none stored") == 0 ? QString() : u"/p/last.lmp"_s;
        const StartupOptions options = CommandLine::parse(arguments, [stored] { return stored; });
        QCOMPARE(options.logLevel, logLevel);
        QCOMPARE(options.startMinimised, minimised);
        QCOMPARE(options.fileToOpen, fileToOpen);
    }

    void handoverCarriesOnlyTheFirstArgument()
    {
        QCOMPARE(CommandLine::handoverMessage({}), u"launch"_s);
        QCOMPARE(CommandLine::handoverMessage({u"a.lmp"_s, u"b.lmp"_s}), u"launch a.lmp"_s);
        QCOMPARE(CommandLine::handoverMessage({u"-log_level=2"_s}), u"launch -log_level=2"_s);
    }
};

RW_TEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
