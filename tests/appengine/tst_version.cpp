#include "app_constants.h"
#include "test_main.h"
#include "version.h"

#include <algorithm>
#include <vector>

// Shown by QCOMPARE when versions differ.
char *toString(const Version &version)
{
    return qstrdup(
        qPrintable(version.toString() +
                   QStringLiteral(" (0x%1)").arg(version.typeAndBuild(), 2, 16, QLatin1Char('0'))));
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

        QTest::newRow("no point") << QStringLiteral("1.2") << Version(1, 2, 0)
                                  << QStringLiteral("1.2");
        QTest::newRow("point") << QStringLiteral("1.0.8") << Version(1, 0, 8)
                               << QStringLiteral("1.0.8");
        QTest::newRow("zero point")
            << QStringLiteral("2.0.0") << Version(2, 0, 0) << QStringLiteral("2.0");
        QTest::newRow("beta") << QStringLiteral("1.2.3 BETA4") << Version(1, 2, 3, 0x84)
                              << QStringLiteral("1.2.3 BETA4");
        QTest::newRow("beta without point")
            << QStringLiteral("2.1 BETA3") << Version(2, 1, 0, 0x83) << QStringLiteral("2.1 BETA3");
        QTest::newRow("rc0") << QStringLiteral("3.0.1 RC0") << Version(3, 0, 1, 0x40)
                             << QStringLiteral("3.0.1 RC0");
        QTest::newRow("debug") << QStringLiteral("1.0.9 DEBUG63") << Version(1, 0, 9, 0xFF)
                               << QStringLiteral("1.0.9 DEBUG63");
        QTest::newRow("numbers kept in a byte")
            << QStringLiteral("300.1") << Version(44, 1, 0) << QStringLiteral("44.1");
        // Six bits hold the build; a larger one must not turn a beta into a debug build.
        QTest::newRow("build beyond six bits")
            << QStringLiteral("1.0 BETA64") << Version(1, 0, 0, 0x80)
            << QStringLiteral("1.0 BETA0");

        const Version null;
        const QString zero = QStringLiteral("0.0");
        QTest::newRow("lower-case type") << QStringLiteral("1.2.3 beta4") << null << zero;
        QTest::newRow("type without build") << QStringLiteral("1.2.3 RC") << null << zero;
        QTest::newRow("four numbers") << QStringLiteral("1.2.3.4") << null << zero;
        QTest::newRow("leading blank") << QStringLiteral(" 1.2") << null << zero;
        QTest::newRow("trailing text") << QStringLiteral("1.2 final") << null << zero;
        QTest::newRow("empty") << QString() << null << zero;
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

    void typeAndBuildComeFromTheLastByte()
    {
        const Version beta = Version::fromString(QStringLiteral("1.2.3 BETA4"));
        QCOMPARE(beta.type(), Version::Type_Beta);
        QCOMPARE(beta.build(), 4);
        QVERIFY(!beta.isFinal());
        QCOMPARE(Version::fromString(QStringLiteral("1.2 RC1")).type(),
                 Version::Type_ReleaseCandidate);
        QCOMPARE(Version::fromString(QStringLiteral("1.2 DEBUG1")).type(), Version::Type_Debug);
        QVERIFY(Version::fromString(QStringLiteral("1.2")).isFinal());
    }

    void ordersReleasesFromOldestToNewest()
    {
        const std::vector<Version> ascending = {Version::fromString(QStringLiteral("0.9.9")),
                                                Version::fromString(QStringLiteral("1.0.8 DEBUG5")),
                                                Version::fromString(QStringLiteral("1.0.8 BETA2")),
                                                Version::fromString(QStringLiteral("1.0.8 BETA9")),
                                                Version::fromString(QStringLiteral("1.0.8 RC0")),
                                                Version::fromString(QStringLiteral("1.0.8 RC2")),
                                                Version::fromString(QStringLiteral("1.0.8")),
                                                Version::fromString(QStringLiteral("1.0.9 DEBUG0")),
                                                Version::fromString(QStringLiteral("1.1")),
                                                Version::fromString(QStringLiteral("1.1.1")),
                                                Version::fromString(QStringLiteral("1.10")),
                                                Version::fromString(QStringLiteral("2.0 BETA1"))};
        std::vector<Version> shuffled(ascending.rbegin(), ascending.rend());
        std::swap(shuffled[2], shuffled[7]);
        std::sort(shuffled.begin(), shuffled.end());
        QCOMPARE(shuffled, ascending);
        QVERIFY(Version(1, 0, 8) > Version(1, 0, 8, 0x42));
        QVERIFY(Version(1, 0, 8) == Version::fromString(QStringLiteral("1.0.8")));
    }

    void applicationKnowsItsOwnVersion()
    {
        QCOMPARE(AppConstants::version(), Version(1, 0, 8));
        QCOMPARE(AppConstants::versionText(), QStringLiteral("1.0.8"));
    }
};

RW_TEST_MAIN(TestVersion)
#include "tst_version.moc"
