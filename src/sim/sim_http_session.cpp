#include "sim_http_session.h"

#include "simulated_controller.h"

#include <QList>
#include <QTcpSocket>

namespace {
constexpr qsizetype MaximumHeadSize = 16 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Internal Server Error";
    }
}
} // namespace

SimHttpSession::SimHttpSession(QTcpSocket *socket, SimulatedController *controller)
    : QObject(controller), m_socket(socket), m_controller(controller)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &SimHttpSession::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

void SimHttpSession::onReadyRead()
{
    m_buffer.append(m_socket->readAll());
    qsizetype end;
    while ((end = m_buffer.indexOf("\r\n\r\n")) >= 0) {
        const QByteArray head = m_buffer.left(end);
        m_buffer.remove(0, end + 4);
        if (!handleRequest(head))
            return;
    }
    if (m_buffer.size() > MaximumHeadSize) {
        respond(431, "text/plain", "Request header too large", false, true);
        m_buffer.clear();
    }
}

bool SimHttpSession::handleRequest(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
        respond(400, "text/plain", "Bad request", false, true);
        return false;
    }
    const QByteArray method = requestLine.at(0);
    const QByteArray target = requestLine.at(1);
    bool close = requestLine.at(2) == "HTTP/1.0";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (name == "connection")
            close = value == "close" || (close && value != "keep-alive");
        if (name == "content-length" && value != "0") {
            // The controller takes no request bodies.
            respond(400, "text/plain", "Request bodies are not accepted", false, true);
            return false;
        }
    }
    m_controller->trace(
        QStringLiteral("HTTP %1 %2").arg(QString::fromLatin1(method), QString::fromLatin1(target)));
    const bool isHead = method == "HEAD";
    if (method != "GET" && !isHead) {
        respond(405, "text/plain", "Only GET is served", false, true);
        return false;
    }
    const QByteArray path =
        target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    if (path == "/query/system") {
        respond(200, "text/xml; charset=utf-8", m_controller->statusXml(), isHead, close);
    } else if (path == "/private/activate_upload") {
        const QPair<int, QByteArray> answer = m_controller->activate();
        respond(answer.first, "text/plain; charset=utf-8", answer.second, isHead, close);
    } else {
        respond(404, "text/plain", "Not found", isHead, close);
    }
    return !close;
}

void SimHttpSession::respond(int status, const QByteArray &contentType, const QByteArray &body,
                             bool head, bool close)
{
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                        "\r\nContent-Type: " + contentType +
                        "\r\nContent-Length: " + QByteArray::number(body.size()) +
                        "\r\nConnection: " + (close ? "close" : "keep-alive") + "\r\n\r\n";
    if (!head)
        answer += body;
    m_socket->write(answer);
    if (close)
        m_socket->disconnectFromHost();
}
