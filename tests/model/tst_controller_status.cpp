#include "controller_status.h"
#include "test_main.h"

namespace {

QByteArray response(const QByteArray &inner)
{
    return "<?xml version=\"1.0\"?><response><system>" + inner + "</system></response>";
}

} // namespace

class TestControllerStatus : public QObject
{
    Q_OBJECT

private slots:
    void readsAnAnswer()
    {
        ControllerStatus status;
        QVERIFY(status.read(
            response("<hardwareType id=\"5\">NX1</hardwareType><serialNumber>A1</serialNumber>"
                     "<firmwareVersion><major>300</major><minor>2</minor><point>129</point></"
                     "firmwareVersion>"
                     "<project><projectName>Show</projectName>"
                     "<projectUuid>{6fa1c1e0-0c4a-4f8e-9d51-3c2b8f0e2a17}</projectUuid>"
                     "<projectUploadDate>2013-11-05T14:03:59</projectUploadDate></project>"
                     "<cfCardSizeKb>7812500</cfCardSizeKb>")));
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
    // no status answer at all is refused and changes nothing.
    void takesOnlyWhatIsClear_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("hardwareType");
        QTest::addColumn<quint32>("cardSize");
        const quint32 unknown = 4294967295u;
        QTest::newRow("type by name")
            << response("<hardwareType>KMA</hardwareType>") << true << 3 << unknown;
        QTest::newRow("unknown type name")
            << response("<hardwareType>Unknown</hardwareType>") << true << 0 << unknown;
        QTest::newRow("id not a number")
            << response("<hardwareType id=\"x\">KMA</hardwareType>") << true << 0 << unknown;
        QTest::newRow("two serial numbers")
            << response("<serialNumber>A</serialNumber><serialNumber>B</serialNumber>") << true << 9
            << unknown;
        QTest::newRow("date with a blank")
            << response("<projectUploadDate>2013-11-05 14:03:59</projectUploadDate>") << true << 9
            << unknown;
        QTest::newRow("date out of range")
            << response("<projectUploadDate>2013-13-45T14:03:59</projectUploadDate>") << true << 9
            << unknown;
        QTest::newRow("card size not a number")
            << response("<cfCardSizeKb>big</cfCardSizeKb>") << true << 9 << 0u;
        QTest::newRow("not XML") << QByteArray("hardwareType=1") << false << 9 << unknown;
        QTest::newRow("empty") << QByteArray() << false << 9 << unknown;
    }
    void takesOnlyWhatIsClear()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, read);
        QFETCH(int, hardwareType);
        QFETCH(quint32, cardSize);
        ControllerStatus status;
        status.hardwareType = 9;
        status.serialNumber = QStringLiteral("kept");
        QCOMPARE(status.read(body), read);
        QCOMPARE(status.hardwareType, hardwareType);
        QCOMPARE(status.serialNumber, QStringLiteral("kept"));
        QVERIFY(status.projectUploadDate.isNull());
        QCOMPARE(status.cfCardSizeKb, cardSize);
    }
};

RW_TEST_MAIN(TestControllerStatus)
#include "tst_controller_status.moc"
