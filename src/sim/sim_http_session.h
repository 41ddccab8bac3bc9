#pragma once

#include <QByteArray>
#include <QObject>

class QTcpSocket;
class SimulatedController;

// One HTTP connection to a simulated controller: GET requests, one after
// the other, kept alive unless the client asks to close. Deletes itself
// when the connection ends.
class SimHttpSession : public QObject
{
    Q_OBJECT

public:
    SimHttpSession(QTcpSocket *socket, SimulatedController *controller);

private:
    void onReadyRead();
    bool handleRequest(const QByteArray &head);
    void respond(int status, const QByteArray &contentType, const QByteArray &body, bool head,
                 bool close);

    QTcpSocket *m_socket;
    SimulatedController *m_controller;
    QByteArray m_buffer;
};
