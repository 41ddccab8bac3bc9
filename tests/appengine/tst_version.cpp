#include "test_main.h"
#include "version.h"

using namespace Qt::StringLiterals;

// Shown by QCOMPARE when versions differ.
char *toString(const Version &version)
{
    return qstrdup(qPrintable(version.toString() +
                              u" (0x%1)"_s.arg(version.typeAndBuild(), 2, 16, QLatin1Char('0'))));
}

class TestVersion : public QObject
{
    Q_OBJECT

private slots:
    void parsesVersionTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Version>("version");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no point") << u"1.2"_s << Version(1, 2, 0) << u"1.2"_s;
        QTest::newRow("point") << u"1.0.8"_s << Version(1, 0, 8) << u"1.0.8"_s;
        QTest::newRow("beta") << u"1.2.3 BETA4"_s << Version(1, 2, 3, 0x84) << u"1.2.3 BETA4"_s;
        QTest::newRow("rc0") << u"3.0.1 RC0"_s << Version(3, 0, 1, 0x40) << u"3.0.1 RC0"_s;
        QTest::newRow("debug") << u"1.0.9 DEBUG63"_s << Version(1, 0, 9, 0xFF)
                               << u"1.0.9 DEBUG63"_s;
        QTest::newRow("numbers kept in a byte") << u"300.1"_s << Version(44, 1, 0) << u"44.1"_s;
        // Six bits hold the build; a larger one must not turn a beta into a debug build.
        QTest::newRow("build beyond six bits")
            << u"1.0 BETA64"_s << Version(1, 0, 0, 0x80) << u"1.0 BETA0"_s;
        for (const QString &text : {u"1.2.3 beta4"_s, u"1.2.3.4"_s, QString()})
            QTest::addRow("refused: \"%s\"", qPrintable(text)) << text << Version() << u"0.0"_s;
    }
    void parsesVersionTexts()
    {
        QFETCH(QString, text);
        QFETCH(Version, version);
        QFETCH(QString, shown);
        const Version parsed = Version::fromString(text);
        QCOMPARE(parsed, version);
        QCOMPARE(parsed.toString(), shown);
    }

    void ordersReleasesFromOldestToNewest()
    {
        std::vector<Version> ascending;
        for (const QString &text :
             {u"0.9.9"_s, u"1.0.8 DEBUG5"_s, u"1.0.8 BETA2"_s, u"1.0.8 BETA9"_s, u"1.0.8 RC0"_s,
              u"1.0.8 RC2"_s, u"1.0.8"_s, u"1.0.9 DEBUG0"_s, u"1.1"_s, u"1.1.1"_s, u"1.10"_s,
              u"2.0 BETA1"_s})
            ascending.push_back(Version::fromString(text));
        std::vector<Version> shuffled(ascending.rbegin(), ascending.rend());
        std::sort(shuffled.begin(), shuffled.end());
        QCOMPARE(shuffled, ascending);
    }
};

RW_TEST_MAIN(TestVersion)
#include "tst_version.moc"
