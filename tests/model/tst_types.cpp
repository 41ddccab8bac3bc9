#include "fatal_probe.h"
#include "test_main.h"
#include "types.h"

class TestTypes : public QObject
{
    Q_OBJECT

private slots:
    // The names appear in log lines and messages.
    void names()
    {
        QStringList mediaTypes;
        for (int type = 0; type < MediaType_MAX; ++type)
            mediaTypes << mediaTypeName(MediaType(type));
        QCOMPARE(mediaTypes.join(QLatin1Char(',')),
                 QStringLiteral("Unknown,Show,Video,Audio,Slot,Folder,Validator"));
        RW_EXPECT_FATAL(mediaTypeName(MediaType_MAX), "Assert: 'type < MediaType_MAX' is FALSE");
        QCOMPARE(fileLoadResultText(FileLoadResult_NotRecognised),
                 QStringLiteral("File is not recognised"));
        QStringList hardwareTypes;
        for (int type = 0; type <= 13; ++type)
            hardwareTypes << HardwareType::name(type);
        QCOMPARE(hardwareTypes.join(QLatin1Char(',')),
                 QStringLiteral("Unknown,NX1,NX2,KMA,NX X,VQ1,VQ2,KMA,VQ X,NX,VQ,TRM,TRZ,Unknown"));
        QCOMPARE(HardwareType::fromName(QStringLiteral("KMA")), 3); // 7 shares the name
        QCOMPARE(HardwareType::fromName(QStringLiteral("nx")), 0);  // case-sensitive
    }

    // Equivalent types are one model in two variants; compatible ones run the
    // same show file format, KMA (3 and 7) or general. 0 and values beyond
    // 12 take nothing.
    void relations_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("equivalent");
        QTest::addColumn<bool>("compatible");
        for (const auto &[a, b] : {std::pair{1, 5}, {6, 2}, {3, 7}, {8, 4}, {9, 10}, {12, 11}})
            QTest::addRow("%d~%d", a, b) << a << b << true << true;
        QTest::newRow("1-2") << 1 << 2 << false << true;
        QTest::newRow("3-1") << 3 << 1 << false << false;
        QTest::newRow("9-7") << 9 << 7 << false << false;
        QTest::newRow("0-0") << 0 << 0 << true << false;
        QTest::newRow("0-1") << 0 << 1 << false << false;
        QTest::newRow("12-13") << 12 << 13 << false << false;
    }
    void relations()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, equivalent);
        QFETCH(bool, compatible);
        QCOMPARE(HardwareType::equivalent(a, b), equivalent);
        QCOMPARE(HardwareType::compatible(a, b), compatible);
    }
};

RW_TEST_MAIN(TestTypes)
#include "tst_types.moc"
