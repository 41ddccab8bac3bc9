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

    // Each value is taken only from exactly one element of its name.
    void takesOnlyWhatIsClear_data()
    {
        QTest::addColumn<QByteArray>("inner");
        QTest::addColumn<int>("hardwareType");
        QTest::addColumn<QString>("serialNumber");
        QTest::addColumn<bool>("dated");
        QTest::addColumn<quint32>("cardSize");
        QTest::newRow("type by name") << QByteArray("<hardwareType>KMA</hardwareType>") << 3
                                      << "kept" << false << 4294967295u;
        QTest::newRow("unknown type name") << QByteArray("<hardwareType>Unknown</hardwareType>")
                                           << 0 << "kept" << false << 4294967295u;
        QTest::newRow("id not a number") << QByteArray("<hardwareType id=\"x\">KMA</hardwareType>")
                                         << 0 << "kept" << false << 4294967295u;
        QTest::newRow("two serial numbers")
            << QByteArray("<serialNumber>A</serialNumber><serialNumber>B</serialNumber>") << 9
            << "kept" << false << 4294967295u;
        QTest::newRow("date with a blank")
            << QByteArray("<projectUploadDate>2013-11-05 14:03:59</projectUploadDate>") << 9
            << "kept" << false << 4294967295u;
        QTest::newRow("date out of range")
            << QByteArray("<projectUploadDate>2013-13-45T14:03:59</projectUploadDate>") << 9
            << "kept" << false << 4294967295u;
        QTest::newRow("card size not a number")
            << QByteArray("<cfCardSizeKb>big</cfCardSizeKb>") << 9 << "kept" << false << 0u;
    }
    void takesOnlyWhatIsClear()
    {
        QFETCH(QByteArray, inner);
        QFETCH(int, hardwareType);
        QFETCH(QString, serialNumber);
        QFETCH(bool, dated);
        QFETCH(quint32, cardSize);
        ControllerStatus status;
        status.hardwareType = 9;
        status.serialNumber = QStringLiteral("kept");
        QVERIFY(status.read(response(inner)));
        QCOMPARE(status.hardwareType, hardwareType);
        QCOMPARE(status.serialNumber, serialNumber);
        QCOMPARE(status.projectUploadDate.isValid(), dated);
        QCOMPARE(status.cfCardSizeKb, cardSize);
    }

    void refusesWhatIsNoStatus_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("HTML page") << QByteArray("<html><body>404</body></html>");
        QTest::newRow("not XML") << QByteArray("hardwareType=1");
        QTest::newRow("empty") << QByteArray();
    }
    void refusesWhatIsNoStatus()
    {
        QFETCH(QByteArray, body);
        ControllerStatus status;
        status.serialNumber = QStringLiteral("kept");
        QVERIFY(!status.read(body));
        QCOMPARE(status.serialNumber, QStringLiteral("kept"));
    }
};

RW_TEST_MAIN(TestControllerStatus)
#include "tst_controller_status.moc"
