#include "test_main.h"
#include "version_checker.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {
// A one-page web server on 127.0.0.1: answers every GET with the same body
// and status, then closes the connection. Status 0: nobody listens.
class FeedServer : public QObject
{
public:
    FeedServer(const QByteArray &body, int status)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this, body, status] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, body, status] {
                if (!socket->readAll().endsWith("\r\n\r\n"))
                    return;
                socket->write("HTTP/1.1 " + QByteArray::number(status) +
                              (status == 200 ? " OK" : " Not Found") +
                              "\r\nContent-Type: text/xml\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
        });
        m_url = QUrl(u"http://127.0.0.1:%1/rw_app_version.xml"_s.arg(m_server.serverPort()));
        if (status == 0)
            m_server.close();
    }
    QUrl url() const { return m_url; }

private:
    QTcpServer m_server;
    QUrl m_url;
};

QByteArray release(const char *version, const QByteArray &platforms, const char *extra = "")
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

// Fetches the body from a local server and waits until it has been read.
std::unique_ptr<VersionChecker> check(const QByteArray &body, int status = 200)
{
    FeedServer server(body, status);
    auto checker = std::make_unique<VersionChecker>(server.url());
    QSignalSpy handled(checker.get(), &VersionChecker::releaseDataAvailable);
    if (!handled.wait(10000))
        qFatal("the release feed was not handled");
    return checker;
}

const Version current(1, 0, 8);
} // namespace

class TestVersionChecker : public QObject
{
    Q_OBJECT

private slots:
    void preReleasesCountOnlyWhenAskedFor()
    {
        const auto checker = check(
            feed(release("1.1.0 BETA1", platform("linux")) + release("1.0.9", platform("macosx"))));
        QVERIFY(checker->isUpToDate(current, true));
        QVERIFY(!checker->latestRelease(true).has_value());
        QVERIFY(!checker->isUpToDate(current, false));
        QCOMPARE(checker->latestRelease(false)->version, Version(1, 1, 0, 0x81));
    }

    // The walk goes past a newer release for another platform, and stops at
    // the first release that is not newer than ours.
    void onlyReleasesForOurPlatformAreOffered()
    {
        const auto checker =
            check(feed(release("1.2", platform("win32")) + release("1.1", platform("linux")) +
                       release("1.0.8", platform("linux")) + release("1.0.5", platform("linux"))));
        QVERIFY(!checker->isUpToDate(current, true));
        QCOMPARE(checker->latestRelease(true)->version, Version(1, 1, 0));
        QVERIFY(checker->isUpToDate(Version(1, 1, 0), true));
        QVERIFY(checker->isUpToDate(Version(1, 3, 0), false));

        const auto others =
            check("<releases>" +
                  release("2.0", platform("win32") + platform("macosx") + platform("beos")) +
                  "</releases>"); // the document element
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
        QCOMPARE(checker->releaseNotes(Version(1, 1, 0)), u"Faster uploads."_s);
        QCOMPARE(checker->downloadPage(Version(1, 1, 0)), QUrl(u"https://example.org/linux"_s));
        QCOMPARE(checker->releases()
                     .at(Version(1, 1, 0))
                     .platforms.value(VersionChecker::Platform_Linux)
                     .second,
                 QUrl(u"http://example.org/file"_s));
        // Only a web address is opened in the browser; two notes are none.
        QCOMPARE(checker->downloadPage(Version(1, 2, 0)), QUrl());
        QVERIFY(checker->releaseNotes(Version(1, 2, 0)).isEmpty());
        // A later platform or release of the same kind replaces the earlier one.
        QCOMPARE(checker->downloadPage(Version(1, 3, 0)), QUrl(u"http://example.org/second"_s));
        QCOMPARE(checker->releaseNotes(Version(1, 4, 0)), u"second"_s);
        QVERIFY(checker->releaseNotes(Version(9, 9, 9)).isEmpty());
        QCOMPARE(checker->downloadPage(Version(9, 9, 9)), QUrl());
    }

    void unreadableFeedsLeaveUsUpToDate_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray good = release("9.0", platform("linux"));
        QTest::newRow("two releases elements")
            << "<feed><releases>" + good + "</releases><releases/></feed>" << 200;
        QTest::newRow("no releases element") << "<feed>" + good + "</feed>" << 200;
        QTest::newRow("malformed xml") << "<feed><releases>" + good + "</feed>" << 200;
        QTest::newRow("not found") << feed(good) << 404;
        QTest::newRow("unreachable") << feed(good) << 0;
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
};

RW_TEST_MAIN(TestVersionChecker)
#include "tst_version_checker.moc"
