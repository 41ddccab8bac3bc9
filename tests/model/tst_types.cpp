#include "fatal_probe.h"
#include "test_main.h"
#include "types.h"

class TestTypes : public QObject
{
    Q_OBJECT

private slots:
    void mediaTypeNames()
    {
        const QStringList expected = {QStringLiteral("Unknown"),  QStringLiteral("Show"),
                                      QStringLiteral("Video"),    QStringLiteral("Audio"),
                                      QStringLiteral("Slot"),     QStringLiteral("Folder"),
                                      QStringLiteral("Validator")};
        for (int type = 0; type < MediaType_MAX; ++type)
            QCOMPARE(mediaTypeName(MediaType(type)), expected[type]);
        RW_EXPECT_FATAL(mediaTypeName(MediaType_MAX), "Assert: 'type < MediaType_MAX' is FALSE");
    }

    void hardwareNamesRoundTrip()
    {
        for (int type = 0; type <= HardwareType::Max; ++type) {
            const int back = HardwareType::fromName(HardwareType::name(type));
            // 7 shares its name with 3, which comes first.
            QCOMPARE(back, type == 7 ? 3 : type);
        }
        QCOMPARE(HardwareType::name(9), QStringLiteral("NX"));
        QCOMPARE(HardwareType::name(4), QStringLiteral("NX X"));
        QCOMPARE(HardwareType::name(13), QStringLiteral("Unknown"));
        QCOMPARE(HardwareType::name(-1), QStringLiteral("Unknown"));
        QCOMPARE(HardwareType::fromName(QStringLiteral("nx")), 0); // case-sensitive
        QCOMPARE(HardwareType::fromName(QStringLiteral("Bogus")), 0);
    }

    void equivalence_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("expected");
        const int pairs[][2] = {{1, 5}, {2, 6}, {3, 7}, {4, 8}, {9, 10}, {11, 12}};
        for (const auto &pair : pairs) {
            QTest::addRow("%d~%d", pair[0], pair[1]) << pair[0] << pair[1] << true;
            QTest::addRow("%d~%d", pair[1], pair[0]) << pair[1] << pair[0] << true;
        }
        QTest::newRow("same") << 4 << 4 << true;
        QTest::newRow("unknown same") << 0 << 0 << true;
        QTest::newRow("1-2") << 1 << 2 << false;
        QTest::newRow("5-9") << 5 << 9 << false;
        QTest::newRow("3-1") << 3 << 1 << false;
    }
    void equivalence()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, expected);
        QCOMPARE(HardwareType::equivalent(a, b), expected);
    }

    void compatibility()
    {
        // KMA forms a class of its own; 0 and values beyond 12 take nothing.
        for (int a = -1; a <= 13; ++a) {
            for (int b = -1; b <= 13; ++b) {
                const bool aKma = a == 3 || a == 7;
                const bool bKma = b == 3 || b == 7;
                const bool aValid = a >= 1 && a <= 12;
                const bool bValid = b >= 1 && b <= 12;
                const bool expected = aValid && bValid && aKma == bKma;
                QVERIFY2(HardwareType::compatible(a, b) == expected,
                         qPrintable(QStringLiteral("%1, %2").arg(a).arg(b)));
            }
        }
    }

    void fileLoadResultTexts()
    {
        QCOMPARE(fileLoadResultText(FileLoadResult_NoError), QStringLiteral("No error"));
        QCOMPARE(fileLoadResultText(FileLoadResult_NotRecognised),
                 QStringLiteral("File is not recognised"));
        QCOMPARE(fileLoadResultText(FileLoadResult_WrongDevice),
                 QStringLiteral("The specified device cannot load this file"));
    }
};

RW_TEST_MAIN(TestTypes)
#include "tst_types.moc"
