#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;
class SimulatedController;

// One FTP control connection to a simulated controller, with at most one
// passive data connection at a time. Serves the controller's folder, flat:
// user "rigward", TYPE, EPSV/PASV, LIST/NLST/MLSD, RETR, STOR, SIZE, MDTM,
// DELE, PWD, CWD "/", FEAT, QUIT, and the faults of its controller.
// Deletes itself when the connection ends.
//
//   greeting -> USER -> (PASS) -> logged in -> EPSV|PASV -> transfer command
//   -> 150 once the data connection is there -> data -> 226 -> ... -> QUIT
class SimFtpSession : public QObject
{
    Q_OBJECT

public:
    SimFtpSession(QTcpSocket *socket, SimulatedController *controller);
    ~SimFtpSession() override;

    // Control connections of this process open now, and the most at once
    // since the last reset: what a limit on simultaneous uploads must bound.
    static int openSessions();
    static int peakSessions();
    static void resetPeakSessions();

private:
    enum Transfer
    {
        Transfer_None,
        Transfer_List,
        Transfer_NameList,
        Transfer_Mlsd,
        Transfer_Retrieve,
        Transfer_Store
    };

    void onControlReadyRead();
    void handleCommand(const QString &verb, const QString &argument);
    bool handleLogin(const QString &verb, const QString &argument);
    void reply(int code, const QString &text);
    QString localPath(const QString &argument) const;

    void openPassive(bool extended);
    void onPassiveConnection();
    void beginTransfer(Transfer transfer, const QString &argument);
    QByteArray listing(Transfer transfer) const;
    void startTransferIfReady();
    void onDataReadyRead();
    void storeAvailable(qint64 maximum);
    void sendMore();
    void onDataBytesWritten();
    void onDataDisconnected();
    void onThrottleTick();
    void onDataWaitTimeout();
    void finishTransfer(int code, const QString &text);
    void dropTransfer();
    void dropEverything();
    void countClosed();

    bool m_counted = true; // among the open sessions
    QTcpSocket *m_control;
    SimulatedController *m_controller;
    QByteArray m_buffer;
    QString m_user;
    bool m_loggedIn = false;

    QTcpServer *m_passive = nullptr;
    QTcpSocket *m_data = nullptr;
    QTimer *m_dataWait;
    QTimer *m_throttle;
    qint64 m_allowance = 0;

    Transfer m_transfer = Transfer_None;
    bool m_transferStarted = false;
    QString m_transferName;
    QFile m_file;
    QByteArray m_outgoing;
    qint64 m_outgoingPos = 0;
    bool m_sendingDone = false;
    bool m_dropPlanned = false;
    bool m_stallPlanned = false;
    bool m_stalled = false;
};
