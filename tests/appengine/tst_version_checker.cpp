#include "fake_controller_http.h"
#include "test_main.h"
#include "version_checker.h"

#include <QSignalSpy>
#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace {

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

// Fetches the body from a local web server (status 0: nobody listens) and
// waits until it has been read.
std::unique_ptr<VersionChecker> check(const QByteArray &body, int status = 200)
{
    FakeControllerHttp server;
    server.answerRaw("/rw_app_version.xml",
                     "HTTP/1.1 " + QByteArray::number(status) + " Feed\r\nContent-Length: " +
                         QByteArray::number(body.size()) + "\r\n\r\n" + body);
    quint16 port = server.port();
    if (status == 0) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        port = closed.serverPort(); // free again once it is gone
    }
    auto checker = std::make_unique<VersionChecker>(
        QUrl(u"http://127.0.0.1:%1/rw_app_version.xml"_s.arg(port)));
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
    // Pre-releases count only when asked for; the walk goes past a newer
    // release for another platform and stops at the first release that is
    // not newer than ours. Only a web address is opened in the browser; two
    // notes are none; a later platform or release of the same kind replaces
    // the earlier one.
    void offersTheNewestReleaseForOurPlatform()
    {
        const auto checker =
            check(feed(release("1.3 BETA1", platform("linux")) + release("1.2", platform("win32")) +
                       release("1.1", platform("linux", "  https://example.org/linux\n "),
                               "<notes>\n  Faster uploads.\n</notes>") +
                       release("1.0.8", platform("linux")) +
                       release("0.1", platform("linux", "ftp://example.org/page")) +
                       release("0.2", platform("linux", "file:///etc/passwd"),
                               "<notes>one</notes><notes>two</notes>") +
                       release("0.3", platform("linux", "http://example.org/first") +
                                          platform("linux", "http://example.org/second")) +
                       release("0.4", "", "<notes>first</notes>") +
                       release("0.4.0", "", "<notes>second</notes>") + release("0.4 beta", "")));
        QVERIFY(!checker->isUpToDate(current, true));
        QCOMPARE(checker->latestRelease(true)->version, Version(1, 1, 0));
        QCOMPARE(checker->latestRelease(false)->version, Version(1, 3, 0, 0x81));
        QVERIFY(checker->isUpToDate(Version(1, 1, 0), true));
        QVERIFY(!checker->isUpToDate(Version(1, 1, 0), false));
        QVERIFY(checker->isUpToDate(Version(1, 4, 0), false));
        QCOMPARE(checker->releases().size(), size_t(8)); // "0.4 beta" is no version
        QCOMPARE(checker->releaseNotes(Version(1, 1, 0)), u"Faster uploads."_s);
        QCOMPARE(checker->downloadPage(Version(1, 1, 0)), QUrl(u"https://example.org/linux"_s));
        QCOMPARE(checker->downloadPage(Version(0, 1, 0)), QUrl());
        QCOMPARE(checker->downloadPage(Version(0, 2, 0)), QUrl());
        QVERIFY(checker->releaseNotes(Version(0, 2, 0)).isEmpty());
        QCOMPARE(checker->downloadPage(Version(0, 3, 0)), QUrl(u"http://example.org/second"_s));
        QCOMPARE(checker->releaseNotes(Version(0, 4, 0)), u"second"_s);
    }

    void unreadableFeedsLeaveUsUpToDate_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray good = release("9.0", platform("linux"));
        QTest::newRow("two releases elements")
            << "<feed><releases>" + good + "</releases><releases/></feed>" << 200;
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
