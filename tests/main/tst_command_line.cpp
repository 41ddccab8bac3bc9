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
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("logLevel");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<QString>("fileToOpen"); // "/p/last.lmp" is stored, but for "none stored"
        QTest::newRow("log level") << "-log_level=3" << 3 << false << QString();
        QTest::newRow("negative level") << "-log_level=-1" << -1 << false << QString();
        QTest::newRow("other case") << "-LOG_LEVEL=2 show.LMP" << 0 << false << QString();
        QTest::newRow("minimised") << "-start_minimised" << 0 << true << QString();
        QTest::newRow("other spelling") << "-start_minimized" << 0 << false << QString();
        QTest::newRow("later path wins") << "a.lmp --bogus /x/b.lmp" << 0 << false << "/x/b.lmp";
        QTest::newRow("not a project") << "lmp notes.txt" << 0 << false << QString();
        QTest::newRow("last file") << "-load_last_file" << 0 << false << "/p/last.lmp";
        QTest::newRow("none stored") << "-load_last_file" << 0 << false << QString();
    }
    void parse()
    {
        QFETCH(QString, line);
        QFETCH(int, logLevel);
        QFETCH(bool, minimised);
        QFETCH(QString, fileToOpen);
        const QString stored =
            qstrcmp(QTest::currentDataTag(), "none stored") == 0 ? QString() : u"/p/last.lmp"_s;
        const StartupOptions options =
            CommandLine::parse(line.split(u' '), [stored] { return stored; });
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
