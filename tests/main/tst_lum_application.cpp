#include "fatal_probe.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "test_main.h"

#include <QSettings>
#include <QSignalSpy>

#include <memory>

class TestLumApplication : public QObject
{
    Q_OBJECT

private slots:
    void isCreatedOnce()
    {
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QCOMPARE(LumApplication::instance(), app.get());
        RW_EXPECT_FATAL(LumApplication::create(), "Assert: 'instance == NULL' is FALSE");
        app.reset();
        QCOMPARE(LumApplication::instance(), nullptr);
    }

    void settingsLiveUnderTheOrganisationAndApplication()
    {
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Lumora"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Rigwarden"));
        QSettings().setValue(QStringLiteral("File/LastFile"), QStringLiteral("/a.lmp"));
        QVERIFY(QSettings().fileName().endsWith(QStringLiteral("/Lumora/Rigwarden.conf")));
    }

    void handoverMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("understood");
        QTest::addColumn<QString>("path");
        QTest::newRow("alone") << QStringLiteral("launch") << true << QString();
        QTest::newRow("path") << QStringLiteral("launch /a b/c.lmp") << true
                              << QStringLiteral("/a b/c.lmp");
        QTest::newRow("option") << QStringLiteral("launch -log_level=2") << true
                                << QStringLiteral("-log_level=2");
        QTest::newRow("trailing blank") << QStringLiteral("launch ") << false << QString();
        QTest::newRow("other") << QStringLiteral("launcher x") << false << QString();
        QTest::newRow("newline") << QStringLiteral("launch\n") << false << QString();
        QTest::newRow("empty") << QString() << false << QString();
    }
    void handoverMessages()
    {
        QFETCH(QString, message);
        QFETCH(bool, understood);
        QFETCH(QString, path);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QSignalSpy spy(app.get(), &LumApplication::launchRequested);
        app->singleAppMessageReceived(message);
        QCOMPARE(spy.size(), understood ? 1 : 0);
        if (understood)
            QCOMPARE(spy[0][0].toString(), path);
    }

    void localAddressesAreUpNonLoopbackIPv4()
    {
        LocalInterfaces::initialise();
        const QList<QHostAddress> addresses = LocalInterfaces::addresses();
        for (const QHostAddress &address : addresses) {
            QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
            QVERIFY(!address.isLoopback());
        }
        const QString first = LocalInterfaces::firstAddress();
        QCOMPARE(first, addresses.isEmpty() ? QStringLiteral("0.0.0.0") : addresses[0].toString());
    }
};

RW_TEST_MAIN(TestLumApplication)
#include "tst_lum_application.moc"
