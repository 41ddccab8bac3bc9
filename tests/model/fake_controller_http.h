#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

// The HTTP side of a controller (or any web server) on 127.0.0.1 for what the
// simulator will not do on demand: per path a body, a whole answer as given
// (status line and headers too), silence (the connection is taken and never
// answered), or a connection closed without an answer.
class FakeControllerHttp : public QObject
{
public:
    enum Behaviour
    {
        Behaviour_Answer,
        Behaviour_Silent,
        Behaviour_Close
    };

    explicit FakeControllerHttp(quint16 port = 0)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FakeControllerHttp::onConnection);
        m_server.listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_server.serverPort(); }

    void answer(const QByteArray &path, const QByteArray &body) { answerRaw(path, ok(body)); }
    void answerRaw(const QByteArray &path, const QByteArray &response)
    {
        m_answers[path] = response;
        m_behaviours[path] = Behaviour_Answer;
    }
    void setBehaviour(const QByteArray &path, Behaviour behaviour)
    {
        m_behaviours[path] = behaviour;
    }
    int requestCount(const QByteArray &path) const { return m_counts.value(path); }
    QByteArray requests() const { return m_requests; }

    static QByteArray status(int hardwareType)
    {
        return "<?xml version=\"1.0\"?><response><hardwareType id=\"" +
               QByteArray::number(hardwareType) +
               "\"/><serialNumber>FAKE1</serialNumber><firmwareVersion><major>99</major>"
               "<minor>0</minor><point>0</point></firmwareVersion></response>";
    }

private:
    void onConnection()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        }
    }
    void onReadyRead(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray path = buffer.split(' ').value(1);
        m_requests += std::exchange(buffer, {});
        ++m_counts[path];
        switch (m_behaviours.value(path, Behaviour_Answer)) {
        case Behaviour_Silent:
            return;
        case Behaviour_Close:
            socket->abort();
            return;
        case Behaviour_Answer:
            break;
        }
        socket->write(m_answers.contains(path) ? m_answers.value(path) : ok({}));
        socket->disconnectFromHost();
    }
    static QByteArray ok(const QByteArray &body)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
               "Content-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_answers; // whole answers
    QByteArray m_requests;
    QHash<QByteArray, Behaviour> m_behaviours;
    QHash<QByteArray, int> m_counts;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
