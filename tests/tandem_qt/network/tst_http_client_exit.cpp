// Requests still open when the program ends. The shared network manager's
// HTTP thread must end while the application object is whole: ended later,
// when the application deletes its children, the thread delivers the events
// of the requests cut short at exit after the application has let go of its
// state, and now and then crashes the process on its way out.

#include "http_client.h"
#include "test_environment.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

bool managerOutlivedPostRoutines = true;

// Registered before the manager exists, so that it runs after the manager's
// own clean-up (Qt runs post routines newest first).
void checkManagerGone()
{
    managerOutlivedPostRoutines =
        !QCoreApplication::instance()->findChildren<QNetworkAccessManager *>().isEmpty();
}

} // namespace

class TestHttpClientExit : public QObject
{
    Q_OBJECT

private slots:
    void requestsCutShortAtExit()
    {
        QTcpServer silent; // accepts connections and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::vector<std::unique_ptr<HttpClient>> clients;
        for (int i = 0; i < 50; ++i) {
            clients.push_back(std::make_unique<HttpClient>());
            clients.back()->setHost(QStringLiteral("127.0.0.1"), silent.serverPort());
            clients.back()->get(QStringLiteral("/query/system"));
        }
        QTRY_VERIFY(clients.back()->state() >= HttpClient::State_Connecting);
    }
};

int main(int argc, char **argv)
{
    TestEnvironment environment;
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        qAddPostRoutine(checkManagerGone);
        TestHttpClientExit test;
        result = QTest::qExec(&test, argc, argv);
    }
    if (managerOutlivedPostRoutines) {
        std::fprintf(stderr, "FAIL! the network manager outlived the application's clean-up\n");
        return 1;
    }
    return result;
}

#include "tst_http_client_exit.moc"
