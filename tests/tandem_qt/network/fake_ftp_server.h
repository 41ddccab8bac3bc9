#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A scriptable FTP server on 127.0.0.1 for what real servers will not do on
// demand. Each verb gets the answer of a well-behaved server unless a script
// gives raw reply text instead (an empty text: no answer at all). Serves one
// client at a time; LIST sends the listing set, STOR keeps nothing. Lost and
// stalled uploads are the simulator's faults.
class FakeFtpServer : public QObject
{
    Q_OBJECT

public:
    enum Fault
    {
        Fault_None,
        Fault_EndlessList // sends a listing line every 50 ms and never ends
    };

    FakeFtpServer();
    quint16 port() const { return m_server.serverPort(); }

    void setGreeting(const QByteArray &raw) { m_greeting = raw; }
    void script(const QByteArray &verb, const QByteArray &rawReply) { m_scripts[verb] = rawReply; }
    void setListing(const QByteArray &data) { m_listing = data; }
    void setFault(Fault fault) { m_fault = fault; }
    // Every command line received, in order.
    QList<QByteArray> commands() const { return m_commands; }

private:
    void onConnection();
    void onControlReadyRead();
    void handle(const QByteArray &verb);
    void openPassive(bool extended);
    void onDataConnection();
    void startTransferIfReady();
    void onDataReadyRead();
    void onDataDisconnected();

    QTcpServer m_server;
    QTcpServer m_passive;
    QTcpSocket *m_control = nullptr;
    QTcpSocket *m_data = nullptr;
    QByteArray m_buffer;
    QByteArray m_greeting = "220 fake ready\r\n";
    QHash<QByteArray, QByteArray> m_scripts;
    QByteArray m_listing;
    QList<QByteArray> m_commands;
    Fault m_fault = Fault_None;
    QByteArray m_transferVerb;
};
