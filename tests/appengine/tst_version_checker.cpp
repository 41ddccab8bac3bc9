#include "app_constants.h"
#include "test_main.h"
#include "version_checker.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
// A one-page web server on 127.0.0.1: answers every GET with the same body
// and status, then closes the connection.
class FeedServer : public QObject
{
    Q_OBJECT

public:
    explicit FeedServer(const QByteArray &body, int status = 200) : m_body(body), m_status(status)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FeedServer::onNewConnection);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl url() const
    {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1/rw_app_version.xml").arg(m_server.serverPort()));
    }
    QByteArray requestLine() const { return m_requestLine; }

private slots:
    void onNewConnection()
    {
        QTcpSocket *socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_request += socket->readAll();
            if (!m_request.contains("\r\n\r\n"))
                return;
            m_requestLine = m_request.left(m_request.indexOf("\r\n"));
            const QByteArray reason = m_status == 200 ? "OK" : "Not Found";
            socket->write("HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reason +
                          "\r\nContent-Type: text/xml\r\nContent-Length: " +
                          QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                          m_body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    QTcpServer m_server;
    QByteArray m_body;
    int m_status;
    QByteArray m_request;
    QByteArray m_requestLine;
};

QByteArray release(const char *version, const char *platforms, const char *extra = "")
{
    return QByteArray("<release version=\"") + version + "\">" + platforms + extra + "</release>";
}

QByteArray platform(const char *os, const char *page = "http://example.org/page")
{
    return QByteArray("<platform os=\"") + os + "\"><downloadpage>" + page +
           "</downloadpage><downloadfile>http://example.org/file</downloadfile></platform>";
}

QByteArray feed(const QByteArray &releases)
{
    return "<?xml version=\"1.0\"?>\n<feed><releases>" + releases + "</releases></feed>";
}

const Version current(1, 0, 8);
} // namespace

class TestVersionChecker : public QObject
{
    Q_OBJECT

    // Fetches the body from a local server and waits until it has been read.
    static std::unique_ptr<VersionChecker> check(const QByteArray &body, int status = 200)
    {
        FeedServer server(body, status);
        auto checker = std::make_unique<VersionChecker>(server.url());
        QSignalSpy handled(checker.get(), &VersionChecker::releaseDataAvailable);
        if (!handled.wait(10000))
            qFatal("the release feed was not handled");
        return checker;
    }

private slots:
    void ourPlatformIsLinux()
    {
        QCOMPARE(VersionChecker::ownPlatform(), VersionChecker::Platform_Linux);
        QCOMPARE(AppConstants::releaseFeedUrl().path(), QStringLiteral("/rw_app_version.xml"));
    }

    void preReleasesCountOnlyWhenAskedFor()
    {
        const auto checker = check(
            feed(release("1.1.0 BETA1", platform("linux")) + release("1.0.9", platform("macosx"))));
        QVERIFY(checker->isUpToDate(current, true));
        QVERIFY(!checker->latestRelease(true).has_value());
        QVERIFY(!checker->isUpToDate(current, false));
        QCOMPARE(checker->latestRelease(false)->version,
                 Version::fromString(QStringLiteral("1.1.0 BETA1")));
    }

    void onlyReleasesForOurPlatformAreOffered()
    {
        // The walk goes past a newer release for another platform, and stops
        // at the first release that is not newer than ours.
        const auto checker =
            check(feed(release("1.2", platform("win32")) + release("1.1", platform("linux")) +
                       release("1.0.8", platform("linux")) + release("1.0.5", platform("linux"))));
        QVERIFY(!checker->isUpToDate(current, true));
        QCOMPARE(checker->latestRelease(true)->version, Version(1, 1, 0));
        QVERIFY(checker->isUpToDate(Version(1, 1, 0), true));
        QVERIFY(checker->isUpToDate(Version(1, 3, 0), false));

        const auto others =
            check(feed(release("2.0", platform("win32") + platform("macosx") + platform("beos"))));
        QVERIFY(others->isUpToDate(current, false));
        QVERIFY(!others->latestRelease(false).has_value());
        QCOMPARE(others->releases().size(), size_t(1));
        QCOMPARE(others->releases().begin()->second.platforms.size(), 3);
    }

    void readsNotesAndDownloadPages()
    {
        const auto checker =
            check(feed(release("1.1", platform("linux", "  https://example.org/linux\n "),
                               "<notes>\n  Faster uploads.\n</notes>") +
                       release("1.2",
                               platform("linux", "file:///etc/passwd") +
                                   platform("win32", "http://example.org/w"),
                               "<notes>one</notes><notes>two</notes>") +
                       release("1.3", platform("linux", "http://example.org/first") +
                                          platform("linux", "http://example.org/second")) +
                       release("1.4", "", "<notes>first</notes>") +
                       release("1.4.0", "", "<notes>second</notes>") + release("1.4 beta", "")));
        QCOMPARE(checker->releases().size(), size_t(4)); // "1.4 beta" is no version
        QCOMPARE(checker->releaseNotes(Version(1, 1, 0)), QStringLiteral("Faster uploads."));
        QCOMPARE(checker->downloadPage(Version(1, 1, 0)),
                 QUrl(QStringLiteral("https://example.org/linux")));
        QCOMPARE(checker->releases()
                     .at(Version(1, 1, 0))
                     .platforms.value(VersionChecker::Platform_Linux)
                     .second,
                 QUrl(QStringLiteral("http://example.org/file")));
        // Only a web address is opened in the browser; two notes are none.
        QCOMPARE(checker->downloadPage(Version(1, 2, 0)), QUrl());
        QVERIFY(checker->releaseNotes(Version(1, 2, 0)).isEmpty());
        // A later platform or release of the same kind replaces the earlier one.
        QCOMPARE(checker->downloadPage(Version(1, 3, 0)),
                 QUrl(QStringLiteral("http://example.org/second")));
        QCOMPARE(checker->releaseNotes(Version(1, 4, 0)), QStringLiteral("second"));
        QVERIFY(checker->releaseNotes(Version(9, 9, 9)).isEmpty());
        QCOMPARE(checker->downloadPage(Version(9, 9, 9)), QUrl());
    }

    void unreadableFeedsLeaveUsUpToDate_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray good = release("9.0", platform("linux"));
        QTest::newRow("two releases elements")
            << QByteArray("<feed><releases>" + good + "</releases><releases/></feed>") << 200;
        QTest::newRow("no releases element") << QByteArray("<feed>" + good + "</feed>") << 200;
        QTest::newRow("malformed xml") << QByteArray("<feed><releases>" + good + "</feed>") << 200;
        QTest::newRow("not found") << feed(good) << 404;
        QTest::newRow("oversized") << feed(good + QByteArray(2 * 1024 * 1024, ' ')) << 200;
    }
    void unreadableFeedsLeaveUsUpToDate()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const auto checker = check(body, status);
        QVERIFY(checker->releases().empty());
        QVERIFY(checker->isUpToDate(current, false));
    }

    void releasesAsTheDocumentElementAreRead()
    {
        const auto checker =
            check("<releases>" + release("9.0", platform("linux")) + "</releases>");
        QVERIFY(!checker->isUpToDate(current, true));
    }

    void unreachableServerIsSilent()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QUrl url(
            QStringLiteral("http://127.0.0.1:%1/rw_app_version.xml").arg(closed.serverPort()));
        closed.close();
        VersionChecker checker(url);
        QSignalSpy handled(&checker, &VersionChecker::releaseDataAvailable);
        QVERIFY(handled.wait(10000));
        QVERIFY(checker.isUpToDate(current, false));
    }
};

RW_TEST_MAIN(TestVersionChecker)
#include "tst_version_checker.moc"
