#include "http_client.h"
#include "test_main.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Answers every request with one scripted text, then does what it is told
// with the connection. An empty answer means: never answer.
class ScriptedHttpServer : public QObject
{
public:
    explicit ScriptedHttpServer(const QByteArray &answer, bool closeAfter = true)
        : m_answer(answer), m_closeAfter(closeAfter)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_requests += socket->readAll();
                if (!m_requests.endsWith("\r\n\r\n") || m_answer.isEmpty())
                    return;
                socket->write(m_answer);
                if (m_closeAfter)
                    socket->disconnectFromHost();
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray requests() const { return m_requests; }

private:
    QTcpServer m_server;
    QByteArray m_answer;
    bool m_closeAfter;
    QByteArray m_requests;
};

QByteArray answer(const QByteArray &status, const QByteArray &body)
{
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort(); // free again once the server is gone
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private slots:
    void runsRequestsInOrderAndDeliversTheBody()
    {
        const QByteArray body = "<response><serialNumber>42</serialNumber></response>";
        ScriptedHttpServer server(answer("200 OK", body), false);
        HttpClient client;
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        QSignalSpy states(&client, &HttpClient::stateChanged);
        QSignalSpy done(&client, &HttpClient::done);
        QBuffer device;
        device.open(QIODevice::WriteOnly);

        const int hostId = client.setHost(QStringLiteral("127.0.0.1"), server.port());
        const int firstId = client.get(QStringLiteral("/query/system"), &device);
        const int secondId = client.get(QStringLiteral("/query/system"));
        QVERIFY(hostId < firstId && firstId < secondId);
        QTRY_COMPARE(finished.count(), 3);
        QCOMPARE(finished.at(0), (QVariantList{hostId, false}));
        QCOMPARE(finished.at(1), (QVariantList{firstId, false}));
        QCOMPARE(finished.at(2), (QVariantList{secondId, false}));
        QCOMPARE(device.data(), body);
        QCOMPARE(client.readAll(), body);
        QCOMPARE(client.lastStatusCode(), 200);
        QCOMPARE(client.error(), HttpClient::Error_NoError);
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QVERIFY(server.requests().startsWith("GET /query/system HTTP/1.1\r\n"));

        QList<int> seen;
        for (const QVariantList &state : states)
            seen.append(state.at(0).toInt());
        QCOMPARE(seen.first(), int(HttpClient::State_Connecting));
        QVERIFY(seen.contains(HttpClient::State_Sending));
        QVERIFY(seen.contains(HttpClient::State_Reading));
        QCOMPARE(seen.last(), int(HttpClient::State_Connected));
    }

    void errorStatusesAreAnswers_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("404") << QByteArray("404 Not Found");
        QTest::newRow("500") << QByteArray("500 Internal Server Error");
        QTest::newRow("400") << QByteArray("400 Bad Request");
        QTest::newRow("302 is not followed") << QByteArray("302 Found\r\nLocation: /elsewhere");
    }
    void errorStatusesAreAnswers()
    {
        QFETCH(QByteArray, status);
        const QByteArray body = "<html>error page</html>";
        ScriptedHttpServer server(answer(status, body));
        HttpClient client;
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        client.setHost(QStringLiteral("127.0.0.1"), server.port());
        const int id = client.get(QStringLiteral("/query/system"));
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1), (QVariantList{id, false}));
        QCOMPARE(client.readAll(), body);
        QCOMPARE(client.lastStatusCode(), status.left(3).toInt());
    }

    void transportFaultsAreErrors_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("error");
        QTest::newRow("closed before an answer") << QByteArray("") << 4;
        // Qt's transport drops a connection whose status line is not HTTP and
        // reports it as closed: what matters is that it is an error.
        QTest::newRow("invalid status line") << QByteArray("GARBAGE\r\n\r\n") << 4;
        QTest::newRow("invalid status code") << QByteArray("HTTP/1.1 abc\r\n\r\n") << 4;
        QTest::newRow("shorter than announced")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten!!") << 6;
        QTest::newRow("authentication")
            << QByteArray("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                          "Content-Length: 0\r\n\r\n")
            << 8;
    }
    void transportFaultsAreErrors()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, error);
        // An empty reply: the server closes the connection without answering.
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, reply] {
                socket->readAll();
                socket->write(reply);
                socket->disconnectFromHost();
            });
        });
        HttpClient client;
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        QSignalSpy done(&client, &HttpClient::done);
        client.setHost(QStringLiteral("127.0.0.1"), server.serverPort());
        const int id = client.get(QStringLiteral("/query/system"));
        client.get(QStringLiteral("/never/sent"));
        QTRY_COMPARE(done.count(), 1);
        QCOMPARE(finished.count(), 2); // the queued request was dropped
        QCOMPARE(finished.at(1), (QVariantList{id, true}));
        QCOMPARE(int(client.error()), error);
        QCOMPARE(client.state(), HttpClient::State_Unconnected);
    }

    void refusedConnection()
    {
        HttpClient client;
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        client.setHost(QStringLiteral("127.0.0.1"), closedPort());
        const int id = client.get(QStringLiteral("/query/system"));
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1), (QVariantList{id, true}));
        QCOMPARE(client.error(), HttpClient::Error_ConnectionRefused);
    }

    void abortEndsTheRunningRequestAtOnce()
    {
        ScriptedHttpServer server{QByteArray()}; // never answers
        HttpClient client;
        QSignalSpy started(&client, &HttpClient::requestStarted);
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        QSignalSpy done(&client, &HttpClient::done);
        client.setHost(QStringLiteral("127.0.0.1"), server.port());
        const int id = client.get(QStringLiteral("/private/activate_upload"));
        client.get(QStringLiteral("/query/system"));
        QTRY_COMPARE(started.count(), 2);
        QTRY_VERIFY(server.requests().contains("activate_upload"));
        client.abort();
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1), (QVariantList{id, true}));
        QCOMPARE(client.error(), HttpClient::Error_Aborted);
        QCOMPARE(done.count(), 1);
        QVERIFY(!client.hasPendingRequests());
        QTest::qWait(50);
        QCOMPARE(finished.count(), 2); // nothing more comes
    }

    void bodyBeyondTheLimitIsRefused()
    {
        ScriptedHttpServer server(answer("200 OK", QByteArray(5000, 'x')));
        HttpClient client;
        client.setMaximumBodySize(1000);
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        client.setHost(QStringLiteral("127.0.0.1"), server.port());
        client.get(QStringLiteral("/query/system"));
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1).at(1).toBool(), true);
        QCOMPARE(client.error(), HttpClient::Error_WrongContentLength);
        QVERIFY(client.bytesAvailable() <= 1000);
    }
};

RW_TEST_MAIN(TestHttpClient)
#include "tst_http_client.moc"
