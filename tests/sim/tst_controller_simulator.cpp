#include "controller_simulator.h"
#include "ftp_client.h"
#include "http_client.h"
#include "link_fixture.h"
#include "show_file_bytes.h"
#include "simulated_controller.h"
#include "test_main.h"

#include <QDomDocument>
#include <QSignalSpy>
#include <memory>

using namespace Qt::StringLiterals;

// The status, logins and faults the link's own tests use (wrong type,
// firmware, passwords, dropped, stalled and slow transfers, launch answers)
// are checked there, end to end, and the executable with its options by the
// command-line tests; here the launch as the simulator answers it.

namespace {

const QUuid projectUuid(u"{00112233-4455-6677-8899-aabbccddeeff}"_s);

using LinkFixture::startSimulator;

struct HttpAnswer
{
    int status = 0; // 0 when the request failed
    QByteArray body;

    // The text of the one element of that name, or "<missing>".
    QString field(const QString &tag) const
    {
        QDomDocument document;
        document.setContent(body);
        const QDomNodeList nodes = document.elementsByTagName(tag);
        return nodes.size() == 1 ? nodes.at(0).toElement().text() : u"<missing>"_s;
    }
};

HttpAnswer httpGet(quint16 port, const char *path)
{
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(u"127.0.0.1"_s, port);
    client.get(QString::fromLatin1(path));
    if (!done.wait(10000) || done.first().first().toBool())
        return {};
    return {client.lastStatusCode(), client.readAll()};
}

// Runs queued FTP commands to the end; the ids that failed, in order.
QList<int> runFtp(FtpClient &client)
{
    QList<int> failed;
    QObject context;
    QObject::connect(&client, &FtpClient::commandFinished, &context, [&](int id, bool error) {
        if (error)
            failed << id;
    });
    QSignalSpy done(&client, &FtpClient::done);
    done.wait(15000);
    return failed;
}

void loginTo(FtpClient &client, quint16 port)
{
    client.connectToHost(u"127.0.0.1"_s, port);
    client.rawCommand(u"USER rigward"_s);
    client.rawCommand(u"PASS any"_s);
}

} // namespace

class TestControllerSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ControllerSimulator::raiseFileLimit(); }

    // The launch answers the uploaded project's identity, and the status
    // shows the project from then on; without a project, or refusing, it
    // answers an error and no identity.
    void launch_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("upload"); // "ftp", "kept" (from an earlier run) or ""
        QTest::addColumn<int>("status");
        QTest::newRow("launched") << ""
                                  << "ftp" << 200;
        QTest::newRow("kept from an earlier run") << ""
                                                  << "kept" << 200;
        QTest::newRow("refused") << "launch-refused"
                                 << "ftp" << 500;
        QTest::newRow("nothing uploaded") << ""
                                          << "" << 404;
    }
    void launch()
    {
        QFETCH(QString, fault);
        QFETCH(QString, upload);
        QFETCH(int, status);
        const auto simulator =
            startSimulator(fault.isEmpty() ? QStringList() : QStringList{u"--fault=0:"_s + fault});
        QVERIFY(simulator);
        const SimulatedController *controller = simulator->controllers().first();
        if (upload == u"ftp") {
            FtpClient client;
            loginTo(client, controller->ftpPort());
            client.put(ShowFileBytes::General().bytes(), u"upload.wr_"_s);
            QCOMPARE(runFtp(client), QList<int>());
        } else if (upload == u"kept") {
            QVERIFY(ShowFileBytes::writeFile(controller->folder() + u"/upload.wr_"_s,
                                             ShowFileBytes::General().bytes()));
        }
        const HttpAnswer launch = httpGet(controller->httpPort(), "/private/activate_upload");
        QCOMPARE(launch.status, status);
        const QUuid answered = QUuid::fromString(QString::fromLatin1(launch.body));
        QCOMPARE(answered, status == 200 ? projectUuid : QUuid());
        const HttpAnswer after = httpGet(controller->httpPort(), "/query/system");
        QCOMPARE(QUuid::fromString(after.field(u"projectUuid"_s)), answered);
        if (status == 200) {
            QVERIFY(!after.field(u"projectName"_s).isEmpty());
            QVERIFY(
                QDateTime::fromString(after.field(u"projectUploadDate"_s), u"yyyy-MM-ddTHH:mm:ss"_s)
                    .isValid());
        }
    }
};

RW_TEST_MAIN(TestControllerSimulator)
#include "tst_controller_simulator.moc"
