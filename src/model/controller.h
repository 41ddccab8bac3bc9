#pragma once

#include "controller_status.h"
#include "controller_template.h"
#include "file_to_upload.h"
#include "log_entry.h"
#include "media_transcoder.h"
#include "sortvector.h"
#include "upload_report.h"
#include "upload_state.h"
#include "validator_file.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class FtpClient;
class HttpClient;
class QIODevice;
class QTimer;
class UrlInfo;

// What the controller link knows of a controller's presence on the network.
enum DiscoveryState
{
    // Never answered, or forgotten after an address change or undiscover().
    Discovery_NotFound = 0,
    // Answered with a hardware type that is not equivalent to the template's.
    Discovery_WrongType = 1,
    // Answered with an equivalent hardware type; uploads are allowed.
    Discovery_Found = 2
};

// One networked show controller of a project: its configuration (where it is,
// its password, its installation) and its own copy of the controller template
// it is built from, against which it decides what to upload. Changing the
// address stops the link's work, forgets the discovery result and discovers
// the controller again.
//
// The link, all on the GUI thread and driven by signals:
//   discovery:  discover() -> set host -> GET /query/system -> status read
//               -> Found / WrongType; an unreadable answer or an HTTP error
//               -> discover() again after 5 s (30 s from the third failure on)
//   an upload:  upload() start checks -> [wait for media conversion]
//               -> digests -> FTP session -> GET /private/activate_upload
//               -> project identity checked -> success, final failure, or
//               a failed attempt that is retried after the retry interval
class Controller : public QObject, public sortvector_el
{
    Q_OBJECT

public:
    static constexpr uint NoInstallation = uint(-1);
    static constexpr uint DefaultHttpPort = 80;
    static constexpr uint DefaultFtpPort = 21;
    // The report identifier of no run.
    static constexpr uint NoReport = uint(-1);

    // What the request in flight on the HTTP client is for.
    enum HttpRequestKind
    {
        HttpRequest_None = 0,
        HttpRequest_Connect = 1, // the host was set
        HttpRequest_Status = 2,  // GET "/query/system"
        HttpRequest_Activate = 3 // GET "/private/activate_upload"
    };

    // Where an upload attempt stands.
    enum FtpStage
    {
        FtpStage_Idle = 0,
        FtpStage_WaitingForMedia = 1, // media are still being converted
        FtpStage_Connecting = 2,
        FtpStage_LoggingIn = 3, // user name sent, or logged in
        FtpStage_Password = 4,  // the server asked for a password
        FtpStage_Listing = 5,
        FtpStage_ReadingValidator = 6,
        FtpStage_Sending = 7,
        FtpStage_Closing = 9,
        FtpStage_Failed = 10,           // the client has been released; retry decision pending
        FtpStage_ComputingDigests = 11, // the files' digests are being computed
        FtpStage_WaitingForSlot = 12    // over the limit of simultaneous uploads
    };

    // Intervals of the link's timers. Tests shorten them.
    struct Timings
    {
        int rediscoverMsec = 5000;
        int slowRediscoverMsec = 30000; // from the third consecutive failure on
        int ftpInactivityMsec = 60000;
        int httpAnswerMsec = 30000;
        int retrySecondMsec = 1000; // one second of the retry interval preference
        // The listings and the validator download together: a controller
        // that trickles them keeps the inactivity limit at bay.
        int ftpReadingMsec = 600000;
    };
    static Timings timings();
    static void setTimings(const Timings &timings);

    explicit Controller(const ControllerTemplatePtr &controllerTemplate, QObject *parent = nullptr);
    ~Controller() override;

    uint installationId() const { return m_installationId; }
    void setInstallationId(uint installationId) { m_installationId = installationId; }

    // A host name or dotted IPv4 address; "0.0.0.0" stands for none.
    QString hostname() const { return m_hostname; }
    // An empty text is stored as "0.0.0.0".
    void setHostname(const QString &hostname);
    uint httpPort() const { return m_httpPort; }
    void setHttpPort(uint port);
    uint ftpPort() const { return m_ftpPort; }
    // The FTP port plays no part in discovery, so the controller is not
    // discovered again.
    void setFtpPort(uint port);
    // Stores an address read from a project file without the setters' side
    // effects: nothing is running yet and nothing is to be announced.
    void restoreAddress(const QString &hostname, uint httpPort, uint ftpPort);

    // Enciphered; empty when the controller has none of its own.
    QString password() const { return m_password; }
    void setPassword(const QString &enciphered) { m_password = enciphered; }

    std::shared_ptr<const ControllerTemplate> controllerTemplate() const { return m_template; }
    // Takes a copy of the template, forgets the upload feedback and rebuilds
    // the files to upload. A controller of another hardware type has to be
    // discovered again when `rediscover` is set.
    void setTemplate(const ControllerTemplatePtr &controllerTemplate, bool rediscover);

    DiscoveryState discoveryState() const { return m_discoveryState; }

    // --- Discovery and status ---------------------------------------------

    // A dotted IPv4 address other than 0.0.0.0, or a well-formed host name.
    bool isAddressValid() const;
    // What the controller last reported about itself.
    const ControllerStatus &status() const { return m_status; }
    // Consecutive status answers that could not be had.
    int statusFailures() const { return m_statusFailures; }
    // Discovery has asked and has neither had an answer nor failed yet.
    bool isDiscovering() const;

    // --- Uploads --------------------------------------------------------------

    // Starts an attempt for the run `reportId` after the start checks.
    // `interactive`: the operator asked (prompts allowed, a pending retry
    // gives way); otherwise it is a scheduled or automated upload.
    void upload(uint reportId, bool interactive, bool isRetry = false);
    FtpStage ftpStage() const { return m_ftpStage; }
    bool isRetryPending() const;
    // An attempt is running, waiting (for media, digests or a retry),
    // concluding or being launched.
    bool isUploadUnderWay() const;

    // The files an upload sends, in order: the show file, the clips' files,
    // the validator file.
    const QList<FileToUpload> &filesToUpload() const { return m_files; }
    void rebuildFilesToUpload();
    // Whether a file that was missing when the list was built exists now.
    bool filesOutOfDate() const;
    // A conversion ended (whatever its outcome): the entries of that source
    // take the converted file, and an attempt waiting for media goes on once
    // none is being converted any more.
    void mediaTranscoded(const QString &sourcePath, MediaType mediaType,
                         MediaTranscoder::State state);
    // The show file and the video and audio files that the template names
    // but that do not exist.
    QStringList missingMedia() const;

public slots:
    // Starts or restarts finding the controller on the network.
    virtual void discover();
    // Stops all discovery work and forgets the controller's presence.
    virtual void undiscover();
    // Cancels a pending retry or a running upload.
    virtual void cancelUpload();
    void getStatus();
    void onRetryTimeout();
    void onHttpStateChanged(int state);
    void onHttpRequestFinished(int id, bool error);
    void onFtpStateChanged(int state);
    void onFtpCommandStarted(int id);
    void onFtpCommandFinished(int id, bool error);
    void onFtpRawCommandReply(int replyCode, const QString &detail);
    void onFtpListInfo(const UrlInfo &info);
    void onFtpProgress(qint64 done, qint64 total);
    void onFtpTimeout();
    void onFtpReadingTimeout();
    void onFtpDestroyed();
    // The upload slot this controller waited for is its own.
    void startWithUploadSlot();

protected:
    // Announces a change of state to the application.
    void setDiscoveryState(DiscoveryState state);

private slots:
    void onHttpTimeout();
    void onDigestReady();
    void onFtpReadyRead();

private:
    void announceChange();
    void log(LogCategory category, const QString &message, int level) const;

    // Discovery and launch over HTTP.
    void releaseHttp();
    void startHttpRequest(HttpRequestKind kind, const QString &path);
    void readStatusAnswer();
    void statusFailed();
    void activate();
    void readLaunchAnswer();
    void launchFailed();

    // The FTP session of one attempt.
    void startWhenSlotFree();
    void startFtpSession();
    bool recalculateMediaValidation();
    bool collectDigests();
    void connectFtp();
    void handleFtpCommand(bool error);
    void readValidator();
    void uploadNextFile();
    void closeFtpSession();
    void releaseFtp();
    void sessionFailed(const QString &message);
    void sendPassword(bool refused);
    void requestMissingConversions();
    void cleanUploadFile();
    void startFtpTimer();

    // Attempts, retries and cancellation.
    void attemptFailed(const QString &reason);
    void cancelPendingRetry();
    void cancelWait();
    void report(uint reportId, UploadReport::State result, const QString &message) const;

    // The files to upload.
    void prepare(FileToUpload &file, const QString &path) const;
    void refreshConversion(FileToUpload &file) const;
    bool anyTranscoding() const;
    bool isReadyForUpload(const FileToUpload &file) const;

    // Upload feedback of this controller.
    void resetFeedback() const;
    void setUploadState(UploadState state, const QString &message) const;
    void addFile(const FileToUpload &file, quint64 size) const;
    void setFileState(int index, UploadState state, const QString &message) const;
    uint failureCount() const;

    uint m_installationId = NoInstallation;
    QString m_hostname;
    uint m_httpPort = DefaultHttpPort;
    uint m_ftpPort = DefaultFtpPort;
    QString m_password;
    ControllerTemplatePtr m_template;
    DiscoveryState m_discoveryState = Discovery_NotFound;

    // Discovery and launch.
    ControllerStatus m_status;
    int m_statusFailures = 0;
    bool m_slowRediscovery = false;
    HttpClient *m_http = nullptr;
    int m_httpRequestId = -1;
    HttpRequestKind m_httpRequestKind = HttpRequest_None;
    int m_lastHttpError = 0;
    QTimer *m_discoveryTimer;
    QTimer *m_httpTimer;

    // The upload.
    QList<FileToUpload> m_files;
    FtpClient *m_ftp = nullptr;
    int m_ftpCommandId = -1;
    int m_lastFtpError = 0;
    FtpStage m_ftpStage = FtpStage_Idle;
    int m_uploadFileIdx = 0;
    QIODevice *m_uploadDevice = nullptr;
    bool m_validatorFound = false;
    bool m_lookForValidator = false;
    bool m_cancelRequested = false;
    // Cancelled while the launch was asked for: a failed launch is not retried.
    bool m_launchCancelled = false;
    uint m_failedAttempts = 0; // of the current upload, retries included
    QByteArray m_validatorBytes;
    bool m_validatorTooLarge = false;
    ValidatorFile::Entries m_remoteValidator;
    QTimer *m_ftpTimer;
    QTimer *m_ftpReadingTimer;
    QTimer *m_retryTimer;
    uint m_reportId = NoReport;
    bool m_interactive = false;
};
