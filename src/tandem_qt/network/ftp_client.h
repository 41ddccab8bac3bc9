#pragma once

#include "url_info.h"

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>

class FileSender;
class QSocketNotifier;
class QTcpSocket;
class QTimer;

// An FTP client on one control connection, passive data connections only
// (EPSV, falling back to PASV for the rest of the session).
//
// Commands are queued and run one after the other; each returns an id, and
// commandStarted(id) / commandFinished(id, error) frame its run. An error
// drops the commands still queued and ends in done(true).
//
//   connectToHost: HostLookup -> Connecting -> Connected, finished on the greeting
//   rawCommand:    one line, finished on its final reply (4xx/5xx = error);
//                  a 230 reply moves the state to LoggedIn
//   list/get/put:  [FEAT] TYPE [SIZE] EPSV|PASV, data connection, LIST|MLSD|RETR|STOR,
//                  finished when the final reply and the end of the data are both in
//   close:         QUIT, Closing -> Unconnected, then finished
//
// A lost control connection emits stateChanged(Unconnected) first (error()
// and errorString() already say why) and then fails the running command.
// abort() ends the running command quietly: its commandFinished(id, true)
// arrives later through the event loop, and no other signal follows until a
// new command is queued.
class FtpClient : public QObject
{
    Q_OBJECT

public:
    enum State
    {
        State_Unconnected = 0,
        State_HostLookup = 1,
        State_Connecting = 2,
        State_Connected = 3,
        State_LoggedIn = 4,
        State_Closing = 5
    };
    enum Error
    {
        Error_NoError = 0,
        Error_UnknownError = 1,
        Error_HostNotFound = 2,
        Error_ConnectionRefused = 3,
        Error_NotConnected = 4
    };
    enum Command
    {
        Command_None = 0,
        Command_ConnectToHost,
        Command_RawCommand,
        Command_List,
        Command_Get,
        Command_Put,
        Command_Close
    };
    enum TransferType
    {
        TransferType_Binary = 0,
        TransferType_Ascii = 1
    };

    explicit FtpClient(QObject *parent = nullptr);
    ~FtpClient() override;

    int connectToHost(const QString &host, quint16 port = 21);
    // One command line; the line ending is added.
    int rawCommand(const QString &command);
    // One listInfo() per entry of the folder (the current one when empty).
    int list(const QString &folder = QString());
    // Into `device` when given, else kept for readAll().
    int get(const QString &file, QIODevice *device = nullptr,
            TransferType type = TransferType_Binary);
    // Streams from the open device's position on; the device must outlive the
    // command. A plain file goes from the page cache to the socket without a
    // copy through our memory (FileSender), anything else in small chunks. A
    // sequential device (pipe, socket) ends with its readChannelFinished().
    int put(QIODevice *device, const QString &file, TransferType type = TransferType_Binary);
    int put(const QByteArray &data, const QString &file, TransferType type = TransferType_Binary);
    int close();
    // Drops the queued commands and ends the running one (see the class comment).
    void abort();

    State state() const { return m_state; }
    Error error() const { return m_error; }
    QString errorString() const { return m_errorString; }
    int currentId() const;
    Command currentCommand() const;
    bool hasPendingCommands() const { return !m_pending.empty(); }
    void clearPendingCommands() { m_pending.clear(); }

    // What the get() commands without device received and readAll() did not take.
    qint64 bytesAvailable() const { return m_download.size(); }
    QByteArray readAll();

    // Fails the running command and drops the connection when nothing moves
    // for this long; 0 (the default) waits for ever.
    void setInactivityTimeout(int msec);
    // Bound of a get() without device; a larger file fails the command.
    void setMaximumDownloadSize(qint64 bytes) { m_maximumDownload = bytes; }

signals:
    void stateChanged(int state);
    void listInfo(const UrlInfo &info);
    void readyRead();
    void dataTransferProgress(qint64 done, qint64 total);
    void rawCommandReply(int replyCode, const QString &detail);
    void commandStarted(int id);
    void commandFinished(int id, bool error);
    void done(bool error);

private:
    enum Phase
    {
        Phase_Idle,
        Phase_Connecting,
        Phase_Greeting,
        Phase_Raw,
        Phase_Features,
        Phase_Type,
        Phase_Size,
        Phase_Passive,
        Phase_Transfer,
        Phase_Quit
    };

    struct PendingCommand
    {
        int id = 0;
        Command type = Command_None;
        QString text; // host, raw line, folder or file name
        quint16 port = 0;
        TransferType transferType = TransferType_Binary;
        QPointer<QIODevice> device;
        std::unique_ptr<QIODevice> ownedDevice; // put() of bytes
    };

    int addCommand(std::unique_ptr<PendingCommand> command);
    void scheduleStart();
    void startNextCommand();
    void finishCommand(bool error);
    void failCommand(Error error, const QString &detail);
    void failConnection(Error error, const QString &text);
    void setState(State state);
    QString commandErrorText(const QString &detail) const;

    void sendLine(const QString &line);
    void onControlReadyRead();
    bool processReplyLine(const QByteArray &line);
    void handleReply(int code, const QString &text);
    void onControlStateChanged();
    void onControlError();
    void onControlDisconnected();

    void beginTransfer();
    void sendPassive();
    void handlePassiveReply(int code, const QString &text);
    void openDataConnection(quint16 port);
    void closeDataConnection();
    QString transferCommandLine() const;
    void onDataConnected();
    void onDataReadyRead();
    void onDataBytesWritten(qint64 bytes);
    void onDataDisconnected();
    void onDataError();
    void pumpUpload();
    void pumpFile();
    void stopFileSender();
    void queuePump();
    void noteSent(qint64 bytes);
    void onDeviceFinished();
    void processListData(bool atEnd);
    void tryFinishTransfer();
    void restartInactivity();
    void onInactivityTimeout();

    QTcpSocket *m_control;
    QTcpSocket *m_data = nullptr;
    QTimer *m_inactivityTimer;
    int m_inactivityMsec = 0;

    std::deque<std::unique_ptr<PendingCommand>> m_pending;
    std::unique_ptr<PendingCommand> m_current;
    Phase m_phase = Phase_Idle;
    int m_nextId = 1;
    bool m_startScheduled = false;
    bool m_quiet = false;

    State m_state = State_Unconnected;
    Error m_error = Error_NoError;
    QString m_errorString;

    // Control connection: every line sent gets exactly one final reply, in order.
    QByteArray m_controlBuffer;
    int m_multiLineCode = 0;
    QString m_multiLineText;
    int m_awaitedReplies = 0;
    int m_repliesToSkip = 0;
    QString m_sentLine;

    // Session facts learnt on the way.
    bool m_extendedPassive = true;
    int m_mlsdSupported = -1; // unknown until FEAT was asked

    // The transfer of the running command.
    bool m_useMlsd = false;
    bool m_transferStarted = false; // 1xx reply seen
    bool m_transferReplied = false; // final reply seen
    bool m_dataConnected = false;
    bool m_dataDone = false;
    bool m_dataLost = false;
    bool m_deviceAtEnd = false;
    bool m_deviceFinished = false;
    qint64 m_done = 0;
    qint64 m_total = 0;
    QByteArray m_chunk;
    bool m_sendFile = false; // the device goes through m_fileSender
    std::unique_ptr<FileSender> m_fileSender;
    QSocketNotifier *m_sendNotifier = nullptr;
    bool m_pumpQueued = false;
    QByteArray m_lineBuffer;
    bool m_discardingLine = false;
    QByteArray m_download;
    qint64 m_maximumDownload = 16 * 1024 * 1024;
};
