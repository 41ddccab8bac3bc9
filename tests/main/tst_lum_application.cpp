#include "local_interfaces.h"
#include "lum_application.h"
#include "test_main.h"

#include <QSignalSpy>

#include <memory>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

class TestLumApplication : public QObject
{
    Q_OBJECT

private slots:
    void handoverMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("path"); // null when the message is not understood
        QTest::newRow("path") << u"launch /a b/c.lmp"_s << u"/a b/c.lmp"_s;
        QTest::newRow("option") << u"launch -log_level=2"_s << u"-log_level=2"_s;
        QTest::newRow("trailing blank") << u"launch "_s << QString();
        QTest::newRow("newline") << u"launch\n"_s << QString();
    }
    void handoverMessages()
    {
        QFETCH(QString, message);
        QFETCH(QString, path);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QSignalSpy spy(app.get(), &LumApplication::launchRequested);
        app->singleAppMessageReceived(message);
        QCOMPARE(spy.size(), path.isNull() ? 0 : 1);
        if (!path.isNull())
            QCOMPARE(spy[0][0].toString(), path);
    }

    // A fleet's uploads need more files than the usual soft limit of 1024.
    void openFileLimitIsLifted()
    {
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        if (limit.rlim_max <= 256)
            QSKIP("the hard limit leaves nothing to lift");
        limit.rlim_cur = 256;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        QCOMPARE(limit.rlim_cur, limit.rlim_max);
    }

    void localAddressesAreUpNonLoopbackIPv4()
    {
        LocalInterfaces::initialise();
        const QList<QHostAddress> addresses = LocalInterfaces::addresses();
        for (const QHostAddress &address : addresses) {
            QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
            QVERIFY(!address.isLoopback());
        }
        QCOMPARE(LocalInterfaces::firstAddress(),
                 addresses.isEmpty() ? u"0.0.0.0"_s : addresses[0].toString());
    }
};

RW_TEST_MAIN(TestLumApplication)
#include "tst_lum_application.moc"
