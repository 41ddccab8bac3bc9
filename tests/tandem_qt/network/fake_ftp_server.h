#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

// A scriptable FTP server on 127.0.0.1 for what real servers will not do on
// demand. Each verb gets the answer of a well-behaved server unless a script
// gives raw reply text instead (an empty text: no answer at all). Serves one
// client at a time; EPSV is refused, so PASV serves; LIST sends the listing
// set, STOR keeps nothing. Lost and stalled uploads are the simulator's faults.
class FakeFtpServer : public QObject
{
public:
    FakeFtpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, &FakeFtpServer::onConnection);
        connect(&m_passive, &QTcpServer::newConnection, this, &FakeFtpServer::onDataConnection);
    }
    quint16 port() const { return m_server.serverPort(); }

    void script(const QByteArray &verb, const QByteArray &rawReply) { m_scripts[verb] = rawReply; }
    void setListing(const QByteArray &data) { m_listing = data; }
    // LIST then sends a line every 50 ms and never ends.
    void setEndlessListing() { m_endless = true; }
    // STOR's data connection is reset, then answered 150 and 426: what a client
    // sees when a stranger took the data connection first.
    void setResetStorData() { m_resetStor = true; }
    QList<QByteArray> commands() const { return m_commands; }

private:
    void onConnection()
    {
        m_control = m_server.nextPendingConnection();
        connect(m_control, &QTcpSocket::readyRead, this, &FakeFtpServer::onControlReadyRead);
        m_control->write("220 fake ready\r\n");
    }
    void onControlReadyRead()
    {
        m_buffer += m_control->readAll();
        qsizetype newline;
        while (m_control && (newline = m_buffer.indexOf("\r\n")) >= 0) {
            m_commands.append(m_buffer.left(newline));
            m_buffer.remove(0, newline + 2);
            handle(m_commands.last().split(' ').first());
        }
    }
    void handle(const QByteArray &verb)
    {
        static const QHash<QByteArray, QByteArray> replies{
            {"USER", "331 password please\r\n"}, {"PASS", "230 welcome\r\n"},
            {"TYPE", "200 type set\r\n"},        {"EPSV", "500 unknown command\r\n"},
            {"ABOR", "226 abort done\r\n"},      {"QUIT", "221 bye\r\n"}};
        if (m_scripts.contains(verb) || replies.contains(verb)) {
            m_control->write(m_scripts.value(verb, replies.value(verb)));
        } else if (verb == "PASV") {
            m_passive.close();
            m_passive.listen(QHostAddress::LocalHost, 0);
            const quint16 port = m_passive.serverPort();
            m_control->write("227 Entering Passive Mode (127,0,0,1," +
                             QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xFF) +
                             ")\r\n");
        } else if (verb == "LIST" || verb == "STOR") {
            m_transferVerb = verb;
            startTransferIfReady();
        } else {
            m_control->write("502 not implemented\r\n");
        }
        if (verb == "QUIT" && !m_scripts.contains(verb)) {
            m_control->disconnectFromHost();
            m_control = nullptr;
        }
    }
    void onDataConnection()
    {
        m_data = m_passive.nextPendingConnection();
        m_passive.close();
        connect(m_data, &QTcpSocket::readyRead, m_data, [data = m_data] { data->readAll(); });
        connect(m_data, &QTcpSocket::disconnected, this, &FakeFtpServer::onDataDisconnected);
        startTransferIfReady();
    }
    void startTransferIfReady()
    {
        if (!m_data || m_transferVerb.isEmpty() || !m_control)
            return;
        if (m_transferVerb == "STOR" && m_resetStor) {
            m_data->disconnect(this);
            m_data->abort();
            m_data->deleteLater();
            m_data = nullptr;
            m_transferVerb.clear();
            m_control->write("150 here it comes\r\n426 transfer aborted\r\n");
            return;
        }
        m_control->write("150 here it comes\r\n");
        if (m_transferVerb == "STOR") {
            m_data->readAll();
        } else if (m_endless) {
            auto *trickle = new QTimer(m_data);
            connect(trickle, &QTimer::timeout, m_data, [data = m_data, count = 0]() mutable {
                data->write("-rw-r--r-- 1 rigward rigward 1 Jan 01 00:00 file" +
                            QByteArray::number(++count) + "\r\n");
            });
            trickle->start(50);
        } else {
            m_data->write(m_listing);
            m_data->disconnectFromHost();
        }
    }
    void onDataDisconnected()
    {
        std::exchange(m_data, nullptr)->deleteLater();
        if (!m_control)
            return;
        m_transferVerb.clear();
        m_control->write("226 transfer complete\r\n");
    }

    QTcpServer m_server;
    QTcpServer m_passive;
    QTcpSocket *m_control = nullptr;
    QTcpSocket *m_data = nullptr;
    QByteArray m_buffer;
    QHash<QByteArray, QByteArray> m_scripts;
    QByteArray m_listing;
    QList<QByteArray> m_commands;
    bool m_endless = false;
    bool m_resetStor = false;
    QByteArray m_transferVerb;
};
