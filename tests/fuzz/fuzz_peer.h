#pragma once

// For the fuzz targets of network clients: a peer on 127.0.0.1 that sends the
// fuzzer's bytes to the client as soon as it connects and then hangs up, so
// that the client reads them as the server's replies, whatever it asked.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace FuzzPeer {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Calls `start` with the peer's port, then runs the event loop until the
// client emits `finished` (or 5 s pass, which libFuzzer's time-out would
// report as slow anyway).
template <typename Client, typename Signal>
void serve(const QByteArray &bytes, const std::function<void(quint16)> &start, Client *client,
           Signal finished)
{
    ensureApplication();
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        __builtin_trap();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, &bytes] {
        QTcpSocket *socket = server.nextPendingConnection();
        socket->write(bytes);
        socket->disconnectFromHost();
    });
    QEventLoop loop;
    QObject::connect(client, finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    start(server.serverPort());
    loop.exec();
}

} // namespace FuzzPeer
