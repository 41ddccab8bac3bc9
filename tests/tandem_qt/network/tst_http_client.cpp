#include "fake_controller_http.h"
#include "http_client.h"
#include "test_main.h"

#include <QSignalSpy>
#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace {

QByteArray answer(const QByteArray &status, const QByteArray &body = "<html>page</html>")
{
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private slots:
    // Requests run in order and deliver their bodies; answers with an error
    // status are answers; transport faults end the request with an error and
    // drop the queued ones, as an abort does at once. A null reply: nobody
    // listens; "abort": the server never answers and the client aborts.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<HttpClient::Error>("error");
        QTest::newRow("200") << answer("200 OK") << HttpClient::Error_NoError;
        QTest::newRow("404") << answer("404 Not Found") << HttpClient::Error_NoError;
        QTest::newRow("302 is not followed")
            << answer("302 Found\r\nLocation: /elsewhere") << HttpClient::Error_NoError;
        QTest::newRow("refused") << QByteArray() << HttpClient::Error_ConnectionRefused;
        QTest::newRow("closed before an answer") << ""_ba << HttpClient::Error_UnexpectedClose;
        QTest::newRow("invalid status line")
            << "GARBAGE\r\n\r\n"_ba << HttpClient::Error_UnexpectedClose;
        QTest::newRow("shorter than announced")
            << "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten!!"_ba
            << HttpClient::Error_WrongContentLength;
        QTest::newRow("body beyond the limit")
            << answer("200 OK", QByteArray(5000, 'x')) << HttpClient::Error_WrongContentLength;
        QTest::newRow("aborted") << "abort"_ba << HttpClient::Error_Aborted;
        QTest::newRow("authentication")
            << answer("401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"", "")
            << HttpClient::Error_AuthenticationRequired;
    }
    void outcomes()
    {
        QFETCH(QByteArray, reply);
        QFETCH(HttpClient::Error, error);
        FakeControllerHttp server;
        for (const char *path : {"/query/system", "/never/sent"})
            server.answerRaw(path, reply);
        quint16 port = server.port();
        if (reply.isNull()) {
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost, 0);
            port = closed.serverPort(); // free again once it is gone
        }
        HttpClient client;
        client.setMaximumBodySize(1000);
        QSignalSpy finished(&client, &HttpClient::requestFinished);
        QSignalSpy done(&client, &HttpClient::done);
        const int hostId = client.setHost(u"127.0.0.1"_s, port);
        const int id = client.get(u"/query/system"_s);
        const int secondId = client.get(u"/never/sent"_s);
        if (reply == "abort") {
            server.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
            QTRY_VERIFY(server.requests().contains("/query/system"));
            client.abort();
            QCOMPARE(finished.count(), 2);
            QVERIFY(!client.hasPendingRequests());
            QTest::qWait(50); // nothing more comes
        }
        QTRY_COMPARE(done.count(), 1);
        QCOMPARE(done.first().first().toBool(), error != HttpClient::Error_NoError);
        QCOMPARE(client.error(), error);
        QVERIFY(client.bytesAvailable() <= 1000);
        if (error == HttpClient::Error_NoError) {
            QCOMPARE(QList<QVariantList>(finished),
                     (QList<QVariantList>{{hostId, false}, {id, false}, {secondId, false}}));
            QVERIFY(server.requests().startsWith("GET /query/system HTTP/1.1\r\n"));
            QCOMPARE(client.readAll(), "<html>page</html>"_ba);
            QCOMPARE(client.lastStatusCode(), reply.mid(9, 3).toInt());
            return;
        }
        QCOMPARE(finished.count(), 2); // the queued request was dropped
        QCOMPARE(finished.at(1), (QVariantList{id, true}));
        QCOMPARE(client.state(), HttpClient::State_Unconnected);
    }
};

RW_TEST_MAIN(TestHttpClient)
#include "tst_http_client.moc"
