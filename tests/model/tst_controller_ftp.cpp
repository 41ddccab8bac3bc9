#include "fake_controller_http.h"
#include "fake_ftp_server.h"
#include "link_fixture.h"
#include "test_main.h"

#include <QProcess>

using namespace LinkFixture;

namespace {

// Debian's pyftpdlib on 127.0.0.1 (tests/tandem_qt/network/ftp_server.py),
// user "rigward" with password "secret".
class RealFtpServer
{
public:
    RealFtpServer()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {TestEnvironment::sourceDir() +
                             QStringLiteral("/tests/tandem_qt/network/ftp_server.py"),
                         m_home.path()});
        if (m_process.waitForReadyRead(10000))
            m_port = quint16(m_process.readLine().trimmed().toUInt());
    }
    ~RealFtpServer()
    {
        m_process.closeWriteChannel(); // the server ends when its stdin closes
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    quint16 m_port = 0;
};

QStringList sentFiles()
{
    QStringList sent;
    for (const QString &line : logMessages(0, Category_Ftp)) {
        if (line.startsWith(QLatin1String("Uploading \"")) ||
            line.startsWith(QLatin1String("Uploading validator")))
            sent << line;
    }
    return sent;
}

} // namespace

// Upload sessions against a real FTP server, and against a scripted one for
// the stalls a real server will not produce.
class TestControllerFtp : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShowFolder> m_show;

private slots:
    void initTestCase() { LumApplication::create(this); }

    void init()
    {
        resetApplication();
        m_show = std::make_unique<ShowFolder>();
    }

    void uploadsToARealServer()
    {
        RealFtpServer ftp;
        QVERIFY(ftp.port() != 0);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        http.answer("/private/activate_upload", ShowFolder::projectUuid().toByteArray());
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, http.port(), ftp.port(), QStringLiteral("secret")));
        Reports reports;

        QVERIFY(runAndWait(reports, {id}).success);
        QCOMPARE(sentFiles().size(), 4);
        const QDir home(ftp.home());
        QCOMPARE(readFile(home.filePath(QStringLiteral("upload.wr_"))),
                 readFile(m_show->showPath()));
        QCOMPARE(readFile(home.filePath(QStringLiteral("clip1.bin"))),
                 readFile(m_show->clipPath(1)));
        QVERIFY(home.exists(QStringLiteral("_val_id")));

        app()->eventLog()->clear();
        QVERIFY(runAndWait(reports, {id}).success);
        QCOMPARE(sentFiles(), QStringList{QStringLiteral("Uploading validator to 127.0.0.1")});
    }

    // Listing and reading the validator run under the inactivity limit too.
    void stalledListingOrValidatorTimesOut_data()
    {
        QTest::addColumn<QByteArray>("silentVerb");
        QTest::addColumn<QByteArray>("listing");
        QTest::newRow("LIST") << QByteArray("LIST") << QByteArray();
        QTest::newRow("RETR") << QByteArray("RETR")
                              << QByteArray(
                                     "-rw-r--r-- 1 rigward rigward 40 Jan 01 00:00 _val_id\r\n");
    }
    void stalledListingOrValidatorTimesOut()
    {
        QFETCH(QByteArray, silentVerb);
        QFETCH(QByteArray, listing);
        useFastTimers(300);
        setPreference(LumPreferences::Key_MaxAttempts, 1);
        FakeFtpServer ftp;
        ftp.script(silentVerb, QByteArray());
        ftp.setListing(listing);
        FakeControllerHttp http;
        http.answer("/query/system", FakeControllerHttp::status(1));
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, http.port(), ftp.port()));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId, 5000));
        QCOMPARE(reports.result(reportId, id),
                 std::make_pair(UploadReport::State_Failed,
                                QStringLiteral("Upload failed to complete")));
        QVERIFY(logMessages().contains(QStringLiteral("Upload timed out")));
        QCOMPARE(feedback()->file(id, 0xFFFFFFFF, MediaType_Show)->message,
                 QStringLiteral("Timed out"));
        QVERIFY(ftp.commands().last().startsWith(silentVerb));
    }
};

RW_TEST_MAIN(TestControllerFtp)
#include "tst_controller_ftp.moc"
