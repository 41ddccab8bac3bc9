#include "controller_simulator.h"
#include "controller_status.h"
#include "http_client.h"
#include "link_fixture.h"
#include "show_file_bytes.h"
#include "simulated_controller.h"
#include "test_main.h"

#include <QSignalSpy>
#include <memory>

using namespace Qt::StringLiterals;

// The status, logins and faults the link's own tests use (wrong type,
// firmware, passwords, dropped, stalled and slow transfers, launch answers)
// are checked there, end to end, and the executable with its options by the
// command-line tests; here the launch as the simulator answers it (of a show
// file sent over FTP: the link's upload tests).

namespace {

// The status code (0 when the request failed) and the body of a GET.
std::pair<int, QByteArray> httpGet(quint16 port, const char *path)
{
    HttpClient client;
    QSignalSpy done(&client, &HttpClient::done);
    client.setHost(u"127.0.0.1"_s, port);
    client.get(QString::fromLatin1(path));
    if (!done.wait(10000) || done.first().first().toBool())
        return {};
    return {client.lastStatusCode(), client.readAll()};
}

} // namespace

class TestControllerSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ControllerSimulator::raiseFileLimit(); }

    // The launch answers the project's identity of a show file an earlier run
    // left, and the status shows the project from then on; without a project,
    // or refusing, it answers an error and no identity.
    void launch_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("status");
        QTest::newRow("kept from an earlier run") << "" << true << 200;
        QTest::newRow("refused") << "launch-refused" << true << 500;
        QTest::newRow("nothing uploaded") << "" << false << 404;
    }
    void launch()
    {
        QFETCH(QString, fault);
        QFETCH(bool, kept);
        QFETCH(int, status);
        const auto simulator = LinkFixture::startSimulator(
            fault.isEmpty() ? QStringList() : QStringList{u"--fault=0:"_s + fault});
        QVERIFY(simulator);
        const SimulatedController *controller = simulator->controllers().first();
        if (kept)
            QVERIFY(ShowFileBytes::writeFile(controller->folder() + u"/upload.wr_"_s,
                                             ShowFileBytes::General().bytes()));
        const auto [code, body] = httpGet(controller->httpPort(), "/private/activate_upload");
        QCOMPARE(code, status);
        const QUuid answered = QUuid::fromString(QString::fromLatin1(body));
        QCOMPARE(answered, status == 200 ? ShowFileBytes::uuidTextA : QUuid());
        ControllerStatus after;
        QVERIFY(after.read(httpGet(controller->httpPort(), "/query/system").second));
        QCOMPARE(after.projectUuid, answered);
        if (status == 200)
            QVERIFY(!after.projectName.isEmpty() && after.projectUploadDate.isValid());
    }
};

RW_TEST_MAIN(TestControllerSimulator)
#include "tst_controller_simulator.moc"
