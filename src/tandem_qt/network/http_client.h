#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

// A plain HTTP/1.1 client for one host, with numbered requests run one after
// the other: setHost() is a request too, finished at once, and get() fetches
// a path of that host into a device or into the client.
//
//   Unconnected -> Connecting -> Sending -> Reading -> Connected (kept alive)
//                                                   -> Closing -> Unconnected
//   any error or abort                              -> Unconnected
//
// An answer with an error status (404, 500...) is an answer: the request
// succeeds and the body is delivered; only transport faults and requests for
// authentication are errors. Redirects are not followed. The transport drops
// an answer whose status line is not HTTP as if the server had closed the
// connection: Error_UnexpectedClose. The transport is a
// QNetworkAccessManager shared by every client of the thread.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    enum State
    {
        State_Unconnected = 0,
        State_HostLookup = 1,
        State_Connecting = 2,
        State_Sending = 3,
        State_Reading = 4,
        State_Connected = 5,
        State_Closing = 6
    };
    enum Error
    {
        Error_NoError = 0,
        Error_UnknownError = 1,
        Error_HostNotFound = 2,
        Error_ConnectionRefused = 3,
        Error_UnexpectedClose = 4,
        Error_InvalidResponseHeader = 5,
        Error_WrongContentLength = 6,
        Error_Aborted = 7,
        Error_AuthenticationRequired = 8,
        Error_ProxyAuthenticationRequired = 9
    };

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    int setHost(const QString &host, quint16 port = 80);
    // Writes the body into `device` when given, else keeps it for readAll().
    int get(const QString &path, QIODevice *device = nullptr);
    // Ends the running request with Error_Aborted (requestFinished(id, true)
    // is emitted before this returns) and drops the queued ones silently.
    void abort();

    State state() const { return m_state; }
    Error error() const { return m_error; }
    QString errorString() const { return m_errorString; }
    int currentId() const { return m_current.id; }
    bool hasPendingRequests() const { return !m_pending.empty(); }
    void clearPendingRequests() { m_pending.clear(); }
    // Status code of the last answer; 0 before one arrived.
    int lastStatusCode() const { return m_lastStatusCode; }

    qint64 bytesAvailable() const { return m_body.size(); }
    QByteArray readAll();

    // Bound of an answer's body; a longer one fails with Error_WrongContentLength.
    void setMaximumBodySize(qint64 bytes) { m_maximumBodySize = bytes; }

signals:
    void stateChanged(int state);
    void requestStarted(int id);
    void requestFinished(int id, bool error);
    void done(bool error);

private:
    struct Request
    {
        int id = 0;
        bool isSetHost = false;
        QString host;
        quint16 port = 0;
        QString path;
        QPointer<QIODevice> device;
    };

    int addRequest(Request request);
    void scheduleStart();
    void startNextRequest();
    void startGet();
    void finishRequest(Error error, const QString &errorString);
    void setState(State state);
    void releaseReply();
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    Error errorOfReply() const;

    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    std::deque<Request> m_pending;
    Request m_current;
    bool m_running = false;
    bool m_startScheduled = false;
    int m_nextId = 1;

    QString m_host;
    quint16 m_port = 80;
    State m_state = State_Unconnected;
    Error m_error = Error_NoError;
    QString m_errorString;
    int m_lastStatusCode = 0;
    qint64 m_received = 0;
    qint64 m_announcedLength = -1;
    bool m_tooLong = false;
    QByteArray m_body;
    static constexpr qint64 ReadBufferSize = 1024 * 1024;
    qint64 m_maximumBodySize = 8 * 1024 * 1024;
};
