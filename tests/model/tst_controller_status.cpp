#include "controller_status.h"
#include "reader_inputs.h"
#include "test_main.h"

using ReaderInputs::statusAnswer;

class TestControllerStatus : public QObject
{
    Q_OBJECT

private slots:
    void readsAnAnswer()
    {
        ControllerStatus status;
        QVERIFY(status.read(ReaderInputs::fullStatusAnswer()));
        QCOMPARE(status.hardwareType, 5);
        QCOMPARE(status.serialNumber, QStringLiteral("A1"));
        QCOMPARE(status.firmwareVersion, (FirmwareVersion{44, 2, 129}));
        QCOMPARE(status.projectName, QStringLiteral("Show"));
        QCOMPARE(status.projectUuid,
                 QUuid(QStringLiteral("{6fa1c1e0-0c4a-4f8e-9d51-3c2b8f0e2a17}")));
        QCOMPARE(status.projectUploadDate,
                 QDateTime(QDate(2013, 11, 5), QTime(14, 3, 59), Qt::LocalTime));
        QCOMPARE(status.cfCardSizeKb, 7812500u);
    }

    // Each value is taken only from exactly one element of its name; what is
    // no status answer at all is refused and changes nothing. (The fuzz
    // target reads answers of every other shape.)
    void takesOnlyWhatIsClear_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("hardwareType");
        QTest::newRow("type by name")
            << statusAnswer("<hardwareType>KMA</hardwareType>") << true << 3;
        QTest::newRow("two types")
            << statusAnswer("<hardwareType>KMA</hardwareType><hardwareType>NX1</hardwareType>")
            << true << 9;
        QTest::newRow("not XML") << QByteArray("hardwareType=1") << false << 9;
    }
    void takesOnlyWhatIsClear()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, read);
        QFETCH(int, hardwareType);
        ControllerStatus status;
        status.hardwareType = 9;
        QCOMPARE(status.read(body), read);
        QCOMPARE(status.hardwareType, hardwareType);
    }
};

RW_TEST_MAIN(TestControllerStatus)
#include "tst_controller_status.moc"
