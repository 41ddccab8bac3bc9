#include "controller.h"

#include "change_events.h"
#include "digest_cache.h"
#include "ftp_client.h"
#include "http_client.h"
#include "lum_application.h"
#include "lum_assert.h"
#include "lum_document.h"
#include "lum_preferences.h"
#include "password_cipher.h"
#include "upload_feedback.h"
#include "upload_slots.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <limits>
#include <utility>

namespace {

Controller::Timings &currentTimings()
{
    static Controller::Timings timings;
    return timings;
}

QString noAddress()
{
    return QStringLiteral("0.0.0.0");
}

// An answer body or a validator file beyond this size is not what a
// controller sends.
constexpr qint64 MaximumAnswerSize = 1024 * 1024;

// A message that is given and empty, as opposed to a null one, which leaves a
// file's message as it was.
QString emptyMessage()
{
    return QStringLiteral("");
}

QString httpErrorText(int error)
{
    switch (error) {
    case HttpClient::Error_NoError:
        return Controller::tr("No error");
    case HttpClient::Error_HostNotFound:
        return Controller::tr("The host name lookup failed");
    case HttpClient::Error_ConnectionRefused:
        return Controller::tr("The server refused the connection");
    case HttpClient::Error_UnexpectedClose:
        return Controller::tr("The server closed the connection unexpectedly");
    case HttpClient::Error_InvalidResponseHeader:
        return Controller::tr("The server sent an invalid response header");
    case HttpClient::Error_WrongContentLength:
        return Controller::tr("An error with respect to the content length occurred");
    case HttpClient::Error_Aborted:
        return Controller::tr("The request was aborted");
    case HttpClient::Error_AuthenticationRequired:
        return Controller::tr("The web server requires authentication to complete the request");
    case HttpClient::Error_ProxyAuthenticationRequired:
        return Controller::tr("The proxy server requires authentication to establish a connection");
    default:
        return Controller::tr("Unknown error");
    }
}

QString httpStateName(int state)
{
    switch (state) {
    case HttpClient::State_Unconnected:
        return Controller::tr("Unconnected");
    case HttpClient::State_HostLookup:
        return Controller::tr("Host Lookup");
    case HttpClient::State_Connecting:
        return Controller::tr("Connecting");
    case HttpClient::State_Sending:
        return Controller::tr("Sending");
    case HttpClient::State_Reading:
        return Controller::tr("Reading");
    case HttpClient::State_Connected:
        return Controller::tr("Connected");
    case HttpClient::State_Closing:
        return Controller::tr("Closing");
    default:
        return QString();
    }
}

QString ftpStateName(int state)
{
    switch (state) {
    case FtpClient::State_Unconnected:
        return Controller::tr("Unconnected");
    case FtpClient::State_HostLookup:
        return Controller::tr("Host Lookup");
    case FtpClient::State_Connecting:
        return Controller::tr("Connecting");
    case FtpClient::State_Connected:
        return Controller::tr("Connected");
    case FtpClient::State_LoggedIn:
        return Controller::tr("Logged In");
    case FtpClient::State_Closing:
        return Controller::tr("Closing");
    default:
        return QString();
    }
}

QString ftpErrorText(int error)
{
    switch (error) {
    case FtpClient::Error_NoError:
        return Controller::tr("No error");
    case FtpClient::Error_HostNotFound:
        return Controller::tr("The host name lookup failed");
    case FtpClient::Error_ConnectionRefused:
        return Controller::tr("The server refused the connection");
    case FtpClient::Error_NotConnected:
        return Controller::tr("Tried to send a command, but there is no connection to a server");
    default:
        return Controller::tr("Unknown error");
    }
}

// The class of an FTP failure and, when the client knows it, what happened.
QString ftpFailureText(QString text, const QString &detail)
{
    const QString happened = detail.simplified();
    if (!happened.isEmpty())
        text += QStringLiteral(": ") + happened;
    return text;
}

LumDocument *document()
{
    LumApplication *application = LumApplication::instance();
    return application ? application->document() : nullptr;
}

UploadFeedback *feedback()
{
    LumDocument *owner = document();
    return owner ? owner->uploadFeedback() : nullptr;
}

// Read at the moment of use, so that a change applies to the next decision.
QVariant preference(LumPreferences::Key key)
{
    LumApplication *application = LumApplication::instance();
    return application ? application->preferences()->value(key) : QVariant();
}

qint64 fileSize(const QString &path)
{
    return path.isEmpty() ? 0 : QFileInfo(path).size();
}

} // namespace

Controller::Timings Controller::timings()
{
    return currentTimings();
}

void Controller::setTimings(const Timings &timings)
{
    currentTimings() = timings;
}

Controller::Controller(const ControllerTemplatePtr &controllerTemplate, QObject *parent)
    : QObject(parent), m_hostname(noAddress()), m_discoveryTimer(new QTimer(this)),
      m_httpTimer(new QTimer(this)), m_ftpTimer(new QTimer(this)),
      m_ftpReadingTimer(new QTimer(this)), m_retryTimer(new QTimer(this))
{
    LUM_ASSERT(controllerTemplate != nullptr);
    m_template = std::make_shared<ControllerTemplate>(*controllerTemplate);
    for (QTimer *timer :
         {m_discoveryTimer, m_httpTimer, m_ftpTimer, m_ftpReadingTimer, m_retryTimer})
        timer->setSingleShot(true);
    connect(m_discoveryTimer, &QTimer::timeout, this, &Controller::discover);
    connect(m_httpTimer, &QTimer::timeout, this, &Controller::onHttpTimeout);
    connect(m_ftpTimer, &QTimer::timeout, this, &Controller::onFtpTimeout);
    connect(m_ftpReadingTimer, &QTimer::timeout, this, &Controller::onFtpReadingTimeout);
    connect(m_retryTimer, &QTimer::timeout, this, &Controller::onRetryTimeout);
    rebuildFilesToUpload();
}

Controller::~Controller()
{
    releaseHttp();
    if (m_ftp) {
        // Gone with the controller: nothing of it may reach a half-destroyed object.
        m_ftp->disconnect(this);
        m_ftp->abort();
        delete m_ftp;
    }
    delete m_uploadDevice;
    UploadSlots::forget(this);
}

void Controller::setHostname(const QString &hostname)
{
    cancelUpload();
    m_hostname = hostname.isEmpty() ? noAddress() : hostname;
    m_discoveryState = Discovery_NotFound;
    announceChange();
    discover();
}

void Controller::setHttpPort(uint port)
{
    cancelUpload();
    m_httpPort = port;
    m_discoveryState = Discovery_NotFound;
    announceChange();
    discover();
}

void Controller::setFtpPort(uint port)
{
    cancelUpload();
    m_ftpPort = port;
    announceChange();
}

void Controller::restoreAddress(const QString &hostname, uint httpPort, uint ftpPort)
{
    m_hostname = hostname.isEmpty() ? noAddress() : hostname;
    m_httpPort = httpPort;
    m_ftpPort = ftpPort;
}

void Controller::setTemplate(const ControllerTemplatePtr &controllerTemplate, bool rediscover)
{
    LUM_ASSERT(controllerTemplate != nullptr);
    cancelUpload();
    const int oldHardwareType = m_template->hardwareType();
    m_template = std::make_shared<ControllerTemplate>(*controllerTemplate);
    resetFeedback();
    rebuildFilesToUpload();
    if (rediscover && m_template->hardwareType() != oldHardwareType)
        discover();
}

void Controller::setDiscoveryState(DiscoveryState state)
{
    if (state == m_discoveryState)
        return;
    m_discoveryState = state;
    postChangeEvent(new ControllerDiscoveryEvent(getId()));
}

void Controller::announceChange()
{
    postChangeEvent(new ControllerChangedEvent(getId()));
}

void Controller::log(LogCategory category, const QString &message, int level) const
{
    LumApplication::log(category, message, level, false);
}

// --- Discovery and status ------------------------------------------------------

bool Controller::isAddressValid() const
{
    static const QRegularExpression dottedQuad(QRegularExpression::anchoredPattern(
        QStringLiteral("(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9]["
                       "0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|["
                       "01]?[0-9][0-9]?)")));
    static const QRegularExpression hostName(QRegularExpression::anchoredPattern(
        QStringLiteral("(?:(?:[a-zA-Z]|[a-zA-Z][a-zA-Z0-9\\-]*[a-zA-Z0-9])\\.)*(?:[A-Za-z]|[A-Za-"
                       "z][A-Za-z0-9\\-]*[A-Za-z0-9])")));
    if (m_hostname.isEmpty())
        return false;
    const QRegularExpressionMatch quad = dottedQuad.match(m_hostname);
    if (quad.hasMatch()) {
        for (int part = 1; part <= 4; ++part) {
            if (quad.captured(part).toInt() != 0)
                return true;
        }
        return false; // 0.0.0.0 stands for no address
    }
    return hostName.match(m_hostname).hasMatch();
}

bool Controller::isDiscovering() const
{
    return m_httpRequestKind == HttpRequest_Connect || m_httpRequestKind == HttpRequest_Status;
}

void Controller::discover()
{
    // A launch whose answer is dropped here would leave its run waiting.
    const bool launching = m_httpRequestKind == HttpRequest_Activate;
    // The feedback of an upload under way keeps its failed-attempt count.
    const bool keepFeedback = launching || isUploadUnderWay();
    releaseHttp();
    m_status.reset();
    if (!keepFeedback)
        resetFeedback();
    if (launching)
        launchFailed();
    if (!isAddressValid())
        return;

    m_http = new HttpClient(this);
    m_http->setMaximumBodySize(MaximumAnswerSize);
    connect(m_http, &HttpClient::stateChanged, this, &Controller::onHttpStateChanged);
    connect(m_http, &HttpClient::requestFinished, this, &Controller::onHttpRequestFinished);
    log(Category_Http, tr("Connecting to %1:%2").arg(m_hostname).arg(m_httpPort), 0);
    m_httpRequestKind = HttpRequest_Connect;
    m_httpRequestId = m_http->setHost(m_hostname, quint16(m_httpPort));
}

void Controller::undiscover()
{
    m_discoveryTimer->stop();
    const bool launching = m_httpRequestKind == HttpRequest_Activate;
    m_discoveryState = Discovery_NotFound;
    m_statusFailures = 0;
    releaseHttp();
    postChangeEvent(new ControllerDiscoveryEvent(getId()));
    if (launching)
        launchFailed();
}

void Controller::releaseHttp()
{
    m_httpTimer->stop();
    if (m_http) {
        m_http->disconnect(this);
        m_http->abort();
        m_http->deleteLater();
        m_http = nullptr;
    }
    m_httpRequestId = -1;
    m_httpRequestKind = HttpRequest_None;
}

void Controller::startHttpRequest(HttpRequestKind kind, const QString &path)
{
    m_httpRequestKind = kind;
    m_httpRequestId = m_http->get(path);
    // A controller that takes the connection and never answers must not
    // hold discovery or a launch for ever.
    m_httpTimer->start(currentTimings().httpAnswerMsec);
}

void Controller::getStatus()
{
    if (!m_http)
        return;
    log(Category_Http, tr("Getting status for %1").arg(m_hostname), 1);
    m_status.clearProject();
    startHttpRequest(HttpRequest_Status, QStringLiteral("/query/system"));
}

void Controller::onHttpTimeout()
{
    if (!m_http || m_httpRequestId < 0)
        return;
    log(Category_Http,
        tr("No answer from %1 within %2 seconds")
            .arg(m_hostname)
            .arg(currentTimings().httpAnswerMsec / 1000.0),
        0);
    // Ends the request as an HTTP error (onHttpRequestFinished).
    const int id = m_httpRequestId;
    m_http->abort();
    // A client with nothing running has nothing to end: conclude here, or a
    // launch would wait for ever.
    if (m_http && m_httpRequestId == id)
        onHttpRequestFinished(id, true);
}

void Controller::onHttpStateChanged(int state)
{
    log(Category_Http, httpStateName(state), 2);
}

void Controller::onHttpRequestFinished(int id, bool error)
{
    if (error) {
        m_lastHttpError = m_http ? m_http->error() : HttpClient::Error_UnknownError;
        log(Category_Http, httpErrorText(m_lastHttpError), 0);
        if (id != m_httpRequestId)
            return;
        const HttpRequestKind kind = m_httpRequestKind;
        m_httpTimer->stop();
        m_httpRequestKind = HttpRequest_None;
        m_httpRequestId = -1;
        if (kind == HttpRequest_Activate)
            launchFailed();
        else
            statusFailed(); // a controller switched on later is still found
        return;
    }
    if (id != m_httpRequestId)
        return;
    m_httpTimer->stop();
    switch (m_httpRequestKind) {
    case HttpRequest_Connect:
        getStatus();
        break;
    case HttpRequest_Status:
        readStatusAnswer();
        break;
    case HttpRequest_Activate:
        readLaunchAnswer();
        break;
    default:
        m_httpRequestKind = HttpRequest_None;
        m_httpRequestId = -1;
        break;
    }
}

void Controller::readStatusAnswer()
{
    const QByteArray body = m_http->readAll();
    log(Category_Http, tr("Status response from %1:\n%2").arg(m_hostname, QString::fromUtf8(body)),
        2);
    if (!m_status.read(body)) {
        log(Category_Http, tr("%1 failed to return its status").arg(m_hostname), 0);
        statusFailed();
    } else {
        m_statusFailures = 0;
        const int expected = m_template->hardwareType();
        if (!HardwareType::equivalent(expected, m_status.hardwareType)) {
            setDiscoveryState(Discovery_WrongType);
            log(Category_Http,
                tr("Controller at %1 is wrong type - expected %2 but found %3")
                    .arg(m_hostname, HardwareType::name(expected),
                         HardwareType::name(m_status.hardwareType)),
                0);
        } else if (m_discoveryState != Discovery_Found) {
            setDiscoveryState(Discovery_Found);
            log(Category_Http,
                tr("Connected to %1 %2 at %3")
                    .arg(HardwareType::name(m_status.hardwareType), m_status.serialNumber,
                         m_hostname),
                0);
        }
    }
    postChangeEvent(new ControllerDiscoveryEvent(getId()));
    m_httpRequestKind = HttpRequest_None;
    m_httpRequestId = -1;
}

void Controller::statusFailed()
{
    ++m_statusFailures;
    if (m_statusFailures == 3)
        m_slowRediscovery = true; // and it stays so
    m_discoveryTimer->start(m_slowRediscovery ? currentTimings().slowRediscoverMsec
                                              : currentTimings().rediscoverMsec);
}

// --- Launch and verification ---------------------------------------------------------

void Controller::activate()
{
    if (!m_http) {
        log(Category_Http, tr("Failed to launch uploaded project - no HTTP connection"), 0);
        report(m_reportId, UploadReport::State_Failed, tr("Unable to launch uploaded file"));
        setUploadState(UploadState_Error, tr("Failed to launch"));
        return;
    }
    setUploadState(UploadState_Verifying, emptyMessage());
    // Queued behind a status request, the launch would be dropped with it
    // if that request failed. The status is asked for again after the launch.
    if (m_httpRequestKind == HttpRequest_Status) {
        const QSignalBlocker quiet(m_http);
        m_http->abort();
    }
    startHttpRequest(HttpRequest_Activate, QStringLiteral("/private/activate_upload"));
}

void Controller::readLaunchAnswer()
{
    const QUuid loaded = QUuid::fromString(QString::fromUtf8(m_http->readAll()).trimmed());
    m_httpRequestKind = HttpRequest_None;
    m_httpRequestId = -1;
    if (loaded.isNull()) {
        log(Category_App, tr("%1 failed to launch the uploaded file").arg(m_hostname), 0);
        const int show = m_files.isEmpty() || m_files.first().mediaType != MediaType_Show ? -1 : 0;
        setFileState(show, UploadState_AttemptError, tr("Failed to load"));
        m_uploadFileIdx = 0;
        attemptFailed(tr("Controller failed to load file"));
    } else if (m_template->projectMatches(loaded)) {
        log(Category_App, tr("%1 successfully launched the uploaded file").arg(m_hostname), 0);
        report(m_reportId, UploadReport::State_Success, tr("Upload succeeded"));
        setUploadState(UploadState_Complete,
                       tr("Completed at %1").arg(QDateTime::currentDateTime().toString()));
    } else {
        log(Category_App,
            tr("%1 launched a file that differs from the file that was uploaded").arg(m_hostname),
            0);
        report(m_reportId, UploadReport::State_Failed, tr("Controller loaded a different file"));
        setUploadState(UploadState_Error, tr("Failed to load"));
    }
    // The status then shows the project now running.
    QTimer::singleShot(0, this, &Controller::getStatus);
}

// The launch request got no answer: whether the controller loaded the upload
// is unknown, so the attempt failed and is retried like a failed load.
void Controller::launchFailed()
{
    const int show = m_files.isEmpty() || m_files.first().mediaType != MediaType_Show ? -1 : 0;
    setFileState(show, UploadState_AttemptError, tr("Failed to launch"));
    m_uploadFileIdx = 0;
    attemptFailed(tr("Unable to launch uploaded file"));
}

// --- Upload attempts, retries and cancellation -----------------------------------------

bool Controller::isRetryPending() const
{
    return m_retryTimer->isActive();
}

bool Controller::isUploadUnderWay() const
{
    return m_ftp || m_ftpStage != FtpStage_Idle || m_cancelRequested ||
           m_httpRequestKind == HttpRequest_Activate || m_retryTimer->isActive();
}

void Controller::upload(uint reportId, bool interactive, bool isRetry)
{
    if (m_retryTimer->isActive()) {
        if (!interactive) {
            log(Category_Schedule,
                tr("Scheduled upload to %1 ignored because an upload is pending").arg(m_hostname),
                0);
            report(reportId, UploadReport::State_Ignored, tr("Upload already in progress"));
            return;
        }
        cancelPendingRetry();
    }
    if (m_discoveryState == Discovery_NotFound) {
        if (!interactive)
            log(Category_Schedule,
                tr("Scheduled upload to %1 failed because the controller is not found")
                    .arg(m_hostname),
                0);
        report(reportId, UploadReport::State_Failed, tr("Controller not found"));
        return;
    }
    if (m_discoveryState == Discovery_WrongType) {
        if (!interactive)
            log(Category_Schedule,
                tr("Scheduled upload to %1 failed because the discovered controller is not the "
                   "expected type")
                    .arg(m_hostname),
                0);
        report(reportId, UploadReport::State_Failed, tr("Controller is wrong type"));
        return;
    }
    // Not only a running FTP session: an attempt that waits for media or
    // digests, is concluding or is being launched belongs to its own run.
    if (isUploadUnderWay()) {
        if (!interactive)
            log(Category_Schedule,
                tr("Scheduled upload to %1 ignored because an upload is already in progress")
                    .arg(m_hostname),
                0);
        report(reportId, UploadReport::State_Ignored, tr("Upload already in progress"));
        return;
    }
    const QString showFile = m_template->showFile();
    if (showFile.isEmpty()) {
        log(Category_App,
            tr("Upload to %1 failed because the file is not specified").arg(m_hostname), 0);
        report(reportId, UploadReport::State_Failed, tr("No file to upload"));
        setUploadState(UploadState_Error, tr("File is not specified"));
        return;
    }
    if (!QFileInfo::exists(showFile)) {
        log(Category_App,
            tr("Upload to %1 failed because the file \"%2\" is not found")
                .arg(m_hostname, showFile),
            0);
        report(reportId, UploadReport::State_Failed, tr("File not found"));
        setUploadState(UploadState_Error, tr("File is missing"));
        return;
    }
    if (m_status.firmwareVersion.isLowerThan(m_template->minimumFirmware())) {
        log(Category_App,
            tr("Upload to %1 failed because the file \"%2\" is too new").arg(m_hostname, showFile),
            0);
        report(reportId, UploadReport::State_Failed, tr("File is too new"));
        setUploadState(UploadState_Error, tr("File is too new"));
        return;
    }

    m_interactive = interactive;
    m_launchCancelled = false;
    if (!isRetry) {
        m_failedAttempts = 0;
        // A file put back since the list was built would be sent as missing.
        if (filesOutOfDate())
            rebuildFilesToUpload();
        // So would a source put back, or changed since it was converted.
        requestMissingConversions();
    }
    // Conversions may have been asked for, ended or failed since the list
    // was built.
    for (FileToUpload &file : m_files)
        refreshConversion(file);
    if (isRetry && m_uploadFileIdx < m_files.size()) {
        setFileState(m_uploadFileIdx, UploadState_Retrying,
                     tr("Upload attempt %1").arg(failureCount() + 1));
    } else {
        m_uploadFileIdx = 0;
        resetFeedback();
        for (int index = 0; index < m_files.size(); ++index) {
            const FileToUpload &file = m_files.at(index);
            if (file.sourcePath.isEmpty())
                continue;
            addFile(file, quint64(fileSize(file.digestPath())));
            setFileState(index, UploadState_Pending, emptyMessage());
        }
    }
    if (m_files.isEmpty())
        return;
    m_reportId = reportId;
    if (!anyTranscoding()) {
        startWhenSlotFree();
        return;
    }
    m_ftpStage = FtpStage_WaitingForMedia;
    setUploadState(UploadState_Transcoding, emptyMessage());
    log(Category_Ftp, tr("Waiting for media for %1 to finish transcoding").arg(m_hostname), 0);
}

void Controller::onRetryTimeout()
{
    upload(m_reportId, m_interactive, true);
}

void Controller::attemptFailed(const QString &reason)
{
    if (std::exchange(m_launchCancelled, false)) {
        log(Category_Ftp, tr("Cancelled upload %1").arg(m_hostname), 0);
        report(m_reportId, UploadReport::State_Cancelled, tr("Upload was cancelled"));
        setUploadState(UploadState_Cancelled, emptyMessage());
        return;
    }
    // The failed files count the attempts; an attempt that failed after its
    // last file (at the QUIT) marks none, and must still count.
    ++m_failedAttempts;
    const uint failures = std::max(failureCount(), m_failedAttempts);
    const uint maximum = preference(LumPreferences::Key_MaxAttempts).toUInt();
    if (maximum != 0 && failures >= maximum) {
        const QString times = failures == 1 ? QString() : tr("%1 times ").arg(failures);
        log(Category_App, tr("Attempted upload to %1 %2without success").arg(m_hostname, times), 0);
        report(m_reportId, UploadReport::State_Failed, reason);
        setUploadState(UploadState_Error, tr("Attempted upload %1without success").arg(times));
        return;
    }
    const uint seconds = preference(LumPreferences::Key_RetryInterval).toUInt();
    log(Category_App, tr("Retrying upload to %1 in %2 seconds").arg(m_hostname).arg(seconds), 0);
    const qint64 interval = qint64(seconds) * currentTimings().retrySecondMsec;
    m_retryTimer->start(int(qMin<qint64>(interval, std::numeric_limits<int>::max())));
    setUploadState(UploadState_Retrying, emptyMessage());
}

void Controller::cancelPendingRetry()
{
    m_retryTimer->stop();
    setUploadState(UploadState_Cancelled, emptyMessage());
    report(m_reportId, UploadReport::State_Cancelled, tr("Upload was cancelled"));
}

void Controller::cancelUpload()
{
    if (m_retryTimer->isActive()) {
        cancelPendingRetry();
        log(Category_App, tr("Cancelled upload retry to %1").arg(m_hostname), 0);
        return;
    }
    if (m_httpRequestKind == HttpRequest_Activate) {
        // The files are sent: the launch has its answer, but is not retried.
        log(Category_Ftp, tr("Cancelling upload..."), 1);
        m_launchCancelled = true;
        return;
    }
    if (m_ftpStage == FtpStage_Idle)
        return;
    log(Category_Ftp, tr("Cancelling upload..."), 1);
    if (m_ftp) {
        m_cancelRequested = true;
        releaseFtp(); // concluded when the client is gone (onFtpDestroyed)
    } else if (m_ftpStage == FtpStage_Failed) {
        m_cancelRequested = true; // the failed attempt concludes as cancelled, not retried
    } else if (m_ftpStage == FtpStage_WaitingForMedia || m_ftpStage == FtpStage_ComputingDigests ||
               m_ftpStage == FtpStage_WaitingForSlot) {
        cancelWait();
    }
}

// Ends an attempt that has not connected yet.
void Controller::cancelWait()
{
    m_ftpStage = FtpStage_Idle;
    disconnect(DigestCache::instance(), &DigestCache::digestReady, this,
               &Controller::onDigestReady);
    log(Category_Ftp, tr("Cancelled upload %1").arg(m_hostname), 0);
    report(m_reportId, UploadReport::State_Cancelled, tr("Upload was cancelled"));
    setFileState(m_uploadFileIdx, UploadState_Cancelled, emptyMessage());
    setUploadState(UploadState_Cancelled, emptyMessage());
}

void Controller::report(uint reportId, UploadReport::State result, const QString &message) const
{
    if (reportId != NoReport)
        LumApplication::reportUploadResult(reportId, getId(), result, message);
}

// --- The FTP session ----------------------------------------------------------------

void Controller::startWhenSlotFree()
{
    if (UploadSlots::instance()->acquire(this)) {
        startFtpSession();
        return;
    }
    m_ftpStage = FtpStage_WaitingForSlot;
    setUploadState(UploadState_Pending, tr("Waiting for a free upload slot"));
    log(Category_Ftp, tr("Waiting for a free upload slot for %1").arg(m_hostname), 1);
}

void Controller::startWithUploadSlot()
{
    if (m_ftpStage == FtpStage_WaitingForSlot && UploadSlots::instance()->holds(this))
        startFtpSession();
}

void Controller::startFtpSession()
{
    QString message = tr("Uploading to %1:%2").arg(m_hostname).arg(m_ftpPort);
    const uint failures = failureCount();
    if (failures != 0)
        message += tr(" - attempt %1").arg(failures + 1);
    log(Category_Ftp, message, 0);
    setUploadState(UploadState_Uploading, emptyMessage());

    // The digests come from worker threads; the session connects once
    // every one is known.
    m_ftpStage = FtpStage_ComputingDigests;
    if (!recalculateMediaValidation()) {
        connect(DigestCache::instance(), &DigestCache::digestReady, this,
                &Controller::onDigestReady, Qt::UniqueConnection);
        return;
    }
    connectFtp();
}

// Brings every file's digest up to date; false while some are still being
// computed (onDigestReady then goes on).
bool Controller::recalculateMediaValidation()
{
    log(Category_Media, tr("Recalculating media validation."), 0);
    for (FileToUpload &file : m_files)
        file.alreadyOnController = false;
    return collectDigests();
}

bool Controller::collectDigests()
{
    DigestCache *cache = DigestCache::instance();
    bool complete = true;
    for (FileToUpload &file : m_files) {
        const std::optional<QByteArray> digest = cache->digest(file.digestPath());
        if (digest)
            file.md5 = *digest;
        else
            complete = false;
    }
    return complete;
}

void Controller::onDigestReady()
{
    if (m_ftpStage != FtpStage_ComputingDigests || !collectDigests())
        return;
    disconnect(DigestCache::instance(), &DigestCache::digestReady, this,
               &Controller::onDigestReady);
    connectFtp();
}

void Controller::connectFtp()
{
    addFile(m_files.last(), quint64(ValidatorFile::size(m_files)));
    m_ftp = new FtpClient(this);
    // Drained as it arrives (onFtpReadyRead); this only bounds the rest.
    m_ftp->setMaximumDownloadSize(MaximumAnswerSize);
    connect(m_ftp, &FtpClient::stateChanged, this, &Controller::onFtpStateChanged);
    connect(m_ftp, &FtpClient::commandStarted, this, &Controller::onFtpCommandStarted);
    connect(m_ftp, &FtpClient::commandFinished, this, &Controller::onFtpCommandFinished);
    connect(m_ftp, &FtpClient::rawCommandReply, this, &Controller::onFtpRawCommandReply);
    connect(m_ftp, &FtpClient::listInfo, this, &Controller::onFtpListInfo);
    connect(m_ftp, &FtpClient::dataTransferProgress, this, &Controller::onFtpProgress);
    connect(m_ftp, &FtpClient::readyRead, this, &Controller::onFtpReadyRead);
    connect(m_ftp, &QObject::destroyed, this, &Controller::onFtpDestroyed);
    m_ftpStage = FtpStage_Connecting;
    m_ftpCommandId = m_ftp->connectToHost(m_hostname, quint16(m_ftpPort));
    startFtpTimer();
}

void Controller::startFtpTimer()
{
    m_ftpTimer->start(currentTimings().ftpInactivityMsec);
}

void Controller::onFtpStateChanged(int state)
{
    // A released client's last words concern an attempt that is over.
    if (sender() != m_ftp)
        return;
    log(Category_Ftp, ftpStateName(state), 2);
    if (state != FtpClient::State_Unconnected || m_ftpStage == FtpStage_Closing)
        return;
    log(Category_Ftp,
        ftpFailureText(tr("FTP connection was closed unexpectedly"), m_ftp->errorString()), 0);
    sessionFailed(tr("FTP error"));
}

void Controller::onFtpCommandStarted(int id)
{
    if (sender() != m_ftp)
        return;
    log(Category_Ftp, tr("Controller::onFtpCommandStarted - id: %1").arg(id), 2);
}

void Controller::onFtpRawCommandReply(int replyCode, const QString &detail)
{
    if (sender() != m_ftp)
        return;
    log(Category_Ftp,
        tr("Controller::onFtpRawCommandReply - replyCode: %1 detail: %2")
            .arg(replyCode)
            .arg(detail),
        2);
    if (m_ftpStage == FtpStage_LoggingIn && replyCode == 331)
        m_ftpStage = FtpStage_Password;
    else if (m_ftpStage == FtpStage_Password && replyCode == 230)
        m_ftpStage = FtpStage_LoggingIn;
}

void Controller::onFtpCommandFinished(int id, bool error)
{
    if (sender() != m_ftp)
        return;
    log(Category_Ftp,
        tr("Controller::onFtpCommandFinished - id: %1 error: %2")
            .arg(id)
            .arg(error ? tr("Yes") : tr("No")),
        2);
    m_ftpTimer->stop();
    if (error && m_ftpStage != FtpStage_Password) {
        m_lastFtpError = m_ftp->error();
        log(Category_Ftp, ftpFailureText(ftpErrorText(m_lastFtpError), m_ftp->errorString()), 0);
        sessionFailed(tr("FTP error"));
        return;
    }
    if (id != m_ftpCommandId)
        return;
    handleFtpCommand(error);
}

void Controller::handleFtpCommand(bool error)
{
    switch (m_ftpStage) {
    case FtpStage_Connecting:
        log(Category_Ftp, tr("Logging in to %1").arg(m_hostname), 1);
        m_ftpStage = FtpStage_LoggingIn;
        m_ftpCommandId = m_ftp->rawCommand(QStringLiteral("USER rigward\r\n"));
        startFtpTimer();
        break;
    case FtpStage_Password:
        // The operator may be asked, which runs the event loop: not from
        // within the client's signal, whose socket may be gone by then.
        QMetaObject::invokeMethod(
            this, [this, error] { sendPassword(error); }, Qt::QueuedConnection);
        break;
    case FtpStage_LoggingIn:
        log(Category_Ftp, tr("Listing files on %1").arg(m_hostname), 2);
        m_remoteValidator.clear();
        m_validatorFound = false;
        m_lookForValidator = true;
        m_ftpStage = FtpStage_Listing;
        m_ftpCommandId = m_ftp->list();
        startFtpTimer(); // a stalled listing ends the attempt too
        m_ftpReadingTimer->start(currentTimings().ftpReadingMsec);
        break;
    case FtpStage_Listing:
        if (m_validatorFound && m_lookForValidator) {
            log(Category_Ftp, tr("Downloading validator file from %1").arg(m_hostname), 2);
            m_ftpStage = FtpStage_ReadingValidator;
            m_validatorBytes.clear();
            m_validatorTooLarge = false;
            m_ftpCommandId = m_ftp->get(ValidatorFile::RemoteName);
            startFtpTimer();
        } else {
            uploadNextFile();
        }
        break;
    case FtpStage_ReadingValidator:
        m_validatorFound = false;
        m_lookForValidator = false;
        readValidator();
        log(Category_Ftp, tr("Checking status of media files on %1").arg(m_hostname), 2);
        m_ftpStage = FtpStage_Listing;
        m_ftpCommandId = m_ftp->list();
        startFtpTimer();
        break;
    case FtpStage_Sending:
        cleanUploadFile();
        setFileState(m_uploadFileIdx, UploadState_Complete, emptyMessage());
        ++m_uploadFileIdx;
        uploadNextFile();
        break;
    case FtpStage_Closing:
        releaseFtp();
        if (m_uploadFileIdx >= m_files.size())
            activate();
        break;
    default:
        releaseFtp();
        break;
    }
}

void Controller::sendPassword(bool refused)
{
    if (!m_ftp || m_ftpStage != FtpStage_Password)
        return;
    const QPointer<Controller> self(this);
    LumDocument *owner = document();
    const QString stored =
        owner ? owner->controllerPassword(getId(), refused, m_interactive) : QString();
    // While the operator was asked, the session (or the controller) may
    // have ended.
    if (!self || !m_ftp || m_ftpStage != FtpStage_Password)
        return;
    if (stored.isNull()) {
        log(Category_Ftp, tr("Login to %1 failed").arg(m_hostname), 0);
        report(m_reportId, UploadReport::State_Failed, tr("Login failed"));
        setUploadState(UploadState_Error, tr("Login failed"));
        releaseFtp();
        return;
    }
    m_ftpCommandId =
        m_ftp->rawCommand(QStringLiteral("PASS %1\r\n").arg(PasswordCipher::decode(stored)));
    startFtpTimer();
}

void Controller::onFtpReadyRead()
{
    if (sender() != m_ftp || m_ftpStage != FtpStage_ReadingValidator)
        return;
    const QByteArray bytes = m_ftp->readAll();
    if (m_validatorTooLarge)
        return;
    if (m_validatorBytes.size() + bytes.size() > ValidatorFile::MaximumSize) {
        m_validatorTooLarge = true;
        m_validatorBytes.clear();
        return;
    }
    m_validatorBytes.append(bytes);
}

void Controller::readValidator()
{
    m_remoteValidator.clear();
    onFtpReadyRead();
    if (m_validatorTooLarge) {
        log(Category_Ftp,
            tr("The validator file on %1 is larger than %2 bytes and was ignored")
                .arg(m_hostname)
                .arg(ValidatorFile::MaximumSize),
            1);
        return;
    }
    if (m_validatorBytes.isEmpty())
        return;
    m_remoteValidator = ValidatorFile::read(m_validatorBytes);
    m_validatorBytes.clear();
}

void Controller::onFtpListInfo(const UrlInfo &info)
{
    if (sender() != m_ftp)
        return;
    startFtpTimer(); // the listing is moving
    if (m_validatorFound)
        return;
    log(Category_Ftp, tr("File: %1 Size: %2").arg(info.name()).arg(info.size()), 2);
    if (preference(LumPreferences::Key_UploadUnchangedFiles).toBool())
        return;
    if (m_lookForValidator &&
        info.name().startsWith(ValidatorFile::RemoteName, Qt::CaseInsensitive)) {
        m_validatorFound = true;
        log(Category_Ftp, tr("Found validator file on controller"), 2);
        return;
    }
    if (m_remoteValidator.empty())
        return;
    for (FileToUpload &file : m_files) {
        if (file.remoteName.compare(info.name(), Qt::CaseInsensitive) != 0)
            continue;
        const auto held = m_remoteValidator.find(ValidatorFile::keyOf(getId(), file));
        if (held == m_remoteValidator.end() || file.transcoding || held->second != file.md5)
            return;
        file.alreadyOnController = true;
        addFile(file, 0);
        return;
    }
}

void Controller::uploadNextFile()
{
    const bool sendUnchanged = preference(LumPreferences::Key_UploadUnchangedFiles).toBool();
    while (m_uploadFileIdx < m_files.size()) {
        FileToUpload &file = m_files[m_uploadFileIdx];
        if (file.mediaType == MediaType_Validator) {
            log(Category_Ftp, tr("Uploading validator to %1").arg(m_hostname), 0);
            const int validatorIdx = int(m_uploadFileIdx);
            const int lastIdx = int(m_files.size() - 1);
            LUM_ASSERT(validatorIdx == lastIdx);
            auto *buffer = new QBuffer(this);
            buffer->setData(ValidatorFile::write(getId(), m_files));
            buffer->open(QIODevice::ReadOnly);
            m_uploadDevice = buffer;
            m_ftpStage = FtpStage_Sending;
            m_ftpCommandId = m_ftp->put(buffer, ValidatorFile::RemoteName);
            startFtpTimer();
            return;
        }
        const QString localPath = file.localPath();
        const bool exists = !localPath.isEmpty() && QFileInfo::exists(localPath);
        if (exists && !sendUnchanged && file.alreadyOnController) {
            log(Category_Ftp,
                tr("%1 already has the correct file \"%2\"").arg(m_hostname, file.sourcePath), 0);
            setFileState(m_uploadFileIdx, UploadState_Complete,
                         tr("File has not changed - skipped"));
            ++m_uploadFileIdx;
            continue;
        }
        if (exists) {
            log(Category_Ftp, tr("Uploading \"%1\" to %2").arg(file.sourcePath, m_hostname), 0);
            setFileState(m_uploadFileIdx, UploadState_Uploading, emptyMessage());
            auto *device = new QFile(localPath, this);
            device->open(QIODevice::ReadOnly); // a refusal fails the put as an FTP error
            m_uploadDevice = device;
            m_ftpStage = FtpStage_Sending;
            m_ftpCommandId = m_ftp->put(device, file.remoteName);
            startFtpTimer();
            return;
        }
        // A conversion that failed leaves no local file; the source names it.
        log(Category_Ftp,
            tr("Couldn't upload \"%1\" because the file couldn't be found")
                .arg(localPath.isEmpty() ? file.sourcePath : localPath),
            0);
        addFile(file, 0);
        setFileState(m_uploadFileIdx, UploadState_Error, tr("File not found"));
        if (preference(LumPreferences::Key_StopOnFirstFail).toBool()) {
            report(m_reportId, UploadReport::State_Failed, tr("Media file is missing"));
            setUploadState(UploadState_Error, tr("Media file is missing"));
            closeFtpSession();
            return;
        }
        ++m_uploadFileIdx;
    }
    log(Category_Ftp, tr("Completed upload to %1").arg(m_hostname), 0);
    closeFtpSession();
}

void Controller::closeFtpSession()
{
    m_ftpStage = FtpStage_Closing;
    m_ftpCommandId = m_ftp->close();
    startFtpTimer();
}

void Controller::onFtpProgress(qint64 done, qint64 total)
{
    Q_UNUSED(total);
    if (sender() != m_ftp)
        return;
    if (m_ftpStage != FtpStage_ReadingValidator) {
        const FileToUpload &file = m_files.value(m_uploadFileIdx);
        if (UploadFeedback *store = feedback())
            store->setFileProgress(getId(), file.mediaId(), file.mediaType, quint32(done));
    }
    startFtpTimer();
}

void Controller::onFtpTimeout()
{
    if (!m_ftp)
        return;
    log(Category_Ftp, tr("Upload timed out"), 0);
    sessionFailed(tr("Timed out"));
}

// Listing and reading the validator file took too long, however steadily
// the controller sent them.
void Controller::onFtpReadingTimeout()
{
    if (m_ftpStage == FtpStage_Listing || m_ftpStage == FtpStage_ReadingValidator)
        onFtpTimeout();
}

// Marks the current file and leaves the retry decision to onFtpDestroyed.
void Controller::sessionFailed(const QString &message)
{
    // Closing after a stop on a missing file: the upload has already ended,
    // without retry, whatever becomes of the QUIT.
    if (m_ftpStage == FtpStage_Closing && m_uploadFileIdx < m_files.size()) {
        releaseFtp();
        return;
    }
    setFileState(m_uploadFileIdx, UploadState_AttemptError, message);
    releaseFtp();
    m_ftpStage = FtpStage_Failed;
}

void Controller::releaseFtp()
{
    if (m_ftp) {
        m_ftp->abort();
        m_ftp->deleteLater(); // its destroyed() concludes the attempt
        m_ftp = nullptr;
    }
    m_ftpReadingTimer->stop();
    m_ftpStage = FtpStage_Idle;
    m_ftpCommandId = -1;
}

void Controller::cleanUploadFile()
{
    if (!m_uploadDevice)
        return;
    log(Category_Ftp, tr("Cleaned upload file"), 2);
    m_uploadDevice->close();
    delete m_uploadDevice;
    m_uploadDevice = nullptr;
}

void Controller::onFtpDestroyed()
{
    if (!m_ftp) {
        m_ftpTimer->stop();
        cleanUploadFile();
    }
    log(Category_Ftp, tr("Cleaned FTP resources"), 2);
    if (m_cancelRequested) {
        m_cancelRequested = false;
        m_ftpStage = FtpStage_Idle;
        m_ftpCommandId = -1;
        log(Category_Ftp, tr("Cancelled upload %1").arg(m_hostname), 0);
        report(m_reportId, UploadReport::State_Cancelled, tr("Upload was cancelled"));
        setFileState(m_uploadFileIdx, UploadState_Cancelled, emptyMessage());
        setUploadState(UploadState_Cancelled, emptyMessage());
        return;
    }
    if (m_ftpStage == FtpStage_Failed) {
        m_ftpStage = FtpStage_Idle;
        m_ftpCommandId = -1;
        attemptFailed(tr("Upload failed to complete"));
    }
    // An attempt that ended while its client was still there.
    if (!isUploadUnderWay())
        UploadSlots::instance()->release(this);
}

// --- Media validation --------------------------------------------------------------

void Controller::rebuildFilesToUpload()
{
    m_files.clear();
    const int hardwareType = m_template->hardwareType();
    if (hardwareType >= 1 && hardwareType <= HardwareType::Max) {
        FileToUpload show(FileToUpload::NoSlot, MediaType_Show);
        const QString showFile = m_template->showFile();
        if (!showFile.isEmpty() && QFileInfo::exists(showFile)) {
            prepare(show, showFile);
            show.remoteName = hardwareType == 3 || hardwareType == 7 ? QStringLiteral("newshow.kma")
                                                                     : QStringLiteral("upload.wr_");
        }
        m_files.append(show);
    }
    for (const auto &[number, clip] : m_template->fileMediaClips()) {
        for (const MediaType type : {MediaType_Video, MediaType_Audio, MediaType_Slot}) {
            if (!clip.hasFile(type))
                continue;
            FileToUpload file(number, type);
            const QString path = m_template->mediaPath(number, type);
            if (!path.isEmpty() && QFileInfo::exists(path)) {
                prepare(file, path);
                file.remoteName = clip.file(type).remoteNameText();
            }
            m_files.append(file);
        }
    }
    m_files.append(FileToUpload(FileToUpload::NoSlot, MediaType_Validator));
}

bool Controller::filesOutOfDate() const
{
    for (const FileToUpload &file : m_files) {
        if (!file.sourcePath.isEmpty() || file.mediaType == MediaType_Validator)
            continue;
        const QString path = file.mediaType == MediaType_Show
                                 ? m_template->showFile()
                                 : m_template->mediaPath(file.slot, file.mediaType);
        if (!path.isEmpty() && QFileInfo::exists(path))
            return true;
    }
    return false;
}

// A video or audio source put back after the document asked for the
// conversions has none: it is asked for here, and the attempt waits for it.
void Controller::requestMissingConversions()
{
    MediaTranscoder *transcoder = MediaTranscoder::instance();
    if (!transcoder)
        return;
    for (FileToUpload &file : m_files) {
        if (!file.isConverted() || file.sourcePath.isEmpty() ||
            transcoder->state(file.sourcePath, file.mediaType) != MediaTranscoder::State_UNKNOWN)
            continue;
        transcoder->transcode(file.sourcePath, file.mediaType);
        refreshConversion(file);
    }
}

void Controller::prepare(FileToUpload &file, const QString &path) const
{
    file.sourcePath = path;
    refreshConversion(file);
}

// Only a conversion under way holds the upload back: one that failed, or was
// never asked for, leaves the entry without a converted file, and the session
// reports that file missing and goes on with the others.
void Controller::refreshConversion(FileToUpload &file) const
{
    if (!file.isConverted() || file.sourcePath.isEmpty())
        return;
    const MediaTranscoder *transcoder = MediaTranscoder::instance();
    if (!transcoder) {
        file.transcodedPath.clear();
        file.transcoding = false;
        return;
    }
    file.transcodedPath = transcoder->transcodedFile(file.sourcePath, file.mediaType);
    file.transcoding =
        transcoder->state(file.sourcePath, file.mediaType) == MediaTranscoder::State_TRANSCODING;
}

bool Controller::anyTranscoding() const
{
    for (const FileToUpload &file : m_files) {
        if (!file.sourcePath.isEmpty() && file.transcoding)
            return true;
    }
    return false;
}

// A converted file of size 0 is still being written.
bool Controller::isReadyForUpload(const FileToUpload &file) const
{
    if (file.transcoding)
        return false;
    return !file.isConverted() || file.transcodedPath.isEmpty() ||
           fileSize(file.transcodedPath) != 0;
}

void Controller::mediaTranscoded(const QString &sourcePath, MediaType mediaType,
                                 MediaTranscoder::State state)
{
    Q_UNUSED(state);
    const MediaTranscoder *transcoder = MediaTranscoder::instance();
    bool ready = true;
    for (FileToUpload &file : m_files) {
        if (file.mediaType == mediaType && file.sourcePath == sourcePath) {
            file.transcodedPath =
                transcoder ? transcoder->transcodedFile(sourcePath, mediaType) : QString();
            file.transcoding = false;
            addFile(file, quint64(fileSize(file.digestPath())));
            continue;
        }
        if (!file.sourcePath.isEmpty() && !isReadyForUpload(file))
            ready = false;
    }
    if (ready && m_ftpStage == FtpStage_WaitingForMedia) {
        log(Category_Ftp, tr("Transcoding media complete for %1").arg(m_hostname), 0);
        startWhenSlotFree();
    }
}

QStringList Controller::missingMedia() const
{
    QStringList missing;
    const QString showFile = m_template->showFile();
    if (!showFile.isEmpty() && !QFileInfo::exists(showFile))
        missing << showFile;
    for (const auto &[number, clip] : m_template->fileMediaClips()) {
        for (const MediaType type : {MediaType_Video, MediaType_Audio}) {
            const QString path = m_template->mediaPath(number, type);
            if (clip.hasFile(type) && !path.isEmpty() && !QFileInfo::exists(path))
                missing << path;
        }
    }
    return missing;
}

// --- Upload feedback ------------------------------------------------------------------

void Controller::resetFeedback() const
{
    if (UploadFeedback *store = feedback())
        store->reset(getId());
}

void Controller::setUploadState(UploadState state, const QString &message) const
{
    // At rest, the slot goes to the next in line, once the FTP session is gone.
    const bool resting = state == UploadState_Complete || state == UploadState_Error ||
                         state == UploadState_Retrying || state == UploadState_Cancelled;
    if (resting && !m_ftp)
        UploadSlots::instance()->release(this);
    if (UploadFeedback *store = feedback())
        store->setState(getId(), state, message);
}

void Controller::addFile(const FileToUpload &file, quint64 size) const
{
    if (UploadFeedback *store = feedback())
        store->addFile(getId(), file.mediaId(), file.mediaType, size);
}

void Controller::setFileState(int index, UploadState state, const QString &message) const
{
    UploadFeedback *store = feedback();
    if (!store || index < 0 || index >= m_files.size())
        return;
    const FileToUpload &file = m_files.at(index);
    store->setFileState(getId(), file.mediaId(), file.mediaType, state, message);
}

uint Controller::failureCount() const
{
    const UploadFeedback *store = feedback();
    return store ? store->failureCount(getId()) : 0;
}
