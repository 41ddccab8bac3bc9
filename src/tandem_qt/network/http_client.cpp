#include "http_client.h"

#include "lum_assert.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

namespace {

QPointer<QNetworkAccessManager> &managerSlot()
{
    static QPointer<QNetworkAccessManager> manager;
    return manager;
}

// The manager's HTTP thread must end while the application object is whole:
// as a child of the application it would be deleted only after the
// application has let go of its state, and the thread, still delivering the
// events of the requests ended at exit, would crash the process. Post
// routines run first in the application's destructor.
void deleteSharedManager()
{
    delete managerSlot().data();
}

// One manager per process: each manager runs its own HTTP thread, and a
// project may hold a thousand controllers.
QNetworkAccessManager *sharedManager()
{
    QPointer<QNetworkAccessManager> &manager = managerSlot();
    QCoreApplication *application = QCoreApplication::instance();
    LUM_ASSERT(application != nullptr);
    LUM_ASSERT(QThread::currentThread() == application->thread());
    if (!manager) {
        manager = new QNetworkAccessManager(application);
        // Controllers are on the local network: never through a proxy.
        manager->setProxy(QNetworkProxy::NoProxy);
        qAddPostRoutine(deleteSharedManager);
    }
    return manager;
}

// QNetworkReply reports answers with an error status as errors; for us they
// are answers.
bool isAnswerStatus(QNetworkReply::NetworkError error)
{
    if (error == QNetworkReply::AuthenticationRequiredError)
        return false;
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

} // namespace

HttpClient::HttpClient(QObject *parent) : QObject(parent), m_manager(sharedManager())
{}

HttpClient::~HttpClient()
{
    releaseReply();
}

int HttpClient::setHost(const QString &host, quint16 port)
{
    Request request;
    request.isSetHost = true;
    request.host = host;
    request.port = port;
    return addRequest(request);
}

int HttpClient::get(const QString &path, QIODevice *device)
{
    Request request;
    request.path = path;
    request.device = device;
    return addRequest(request);
}

QByteArray HttpClient::readAll()
{
    QByteArray result;
    result.swap(m_body);
    return result;
}

int HttpClient::addRequest(Request request)
{
    request.id = m_nextId++;
    const int id = request.id;
    m_pending.push_back(std::move(request));
    scheduleStart();
    return id;
}

void HttpClient::scheduleStart()
{
    if (m_startScheduled)
        return;
    m_startScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_startScheduled = false;
            startNextRequest();
        },
        Qt::QueuedConnection);
}

void HttpClient::startNextRequest()
{
    if (m_running || m_pending.empty())
        return;
    m_current = std::move(m_pending.front());
    m_pending.pop_front();
    m_running = true;
    m_error = Error_NoError;
    m_errorString.clear();
    const int id = m_current.id;
    const QPointer<HttpClient> self(this);
    emit requestStarted(id);
    if (!self || !m_running || m_current.id != id)
        return;
    if (m_current.isSetHost) {
        m_host = m_current.host;
        m_port = m_current.port;
        finishRequest(Error_NoError, QString());
        return;
    }
    startGet();
}

void HttpClient::startGet()
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_host);
    url.setPort(m_port);
    const qsizetype question = m_current.path.indexOf(QLatin1Char('?'));
    url.setPath(question < 0 ? m_current.path : m_current.path.left(question));
    if (question >= 0)
        url.setQuery(m_current.path.mid(question + 1));
    if (m_host.isEmpty() || !url.isValid()) {
        finishRequest(Error_HostNotFound, tr("Host %1 not found").arg(m_host));
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    m_received = 0;
    m_announcedLength = -1;
    m_tooLong = false;
    m_body.clear();
    m_reply = m_manager->get(request);
    // Without a limit Qt's network thread reads an endless answer into memory
    // faster than the limit on the body can stop it.
    m_reply->setReadBufferSize(qMin<qint64>(m_maximumBodySize + 1, ReadBufferSize));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpClient::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpClient::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpClient::onFinished);

    const int id = m_current.id;
    const QPointer<HttpClient> self(this);
    if (m_state == State_Unconnected || m_state == State_Closing)
        setState(State_Connecting);
    if (self && m_running && m_current.id == id)
        setState(State_Sending);
}

void HttpClient::onMetaDataChanged()
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        m_lastStatusCode = status.toInt();
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid()) {
        m_announcedLength = length.toLongLong();
        if (m_announcedLength > m_maximumBodySize) {
            finishRequest(Error_WrongContentLength,
                          tr("The answer is larger than %1 bytes").arg(m_maximumBodySize));
            return;
        }
    }
    setState(State_Reading);
}

void HttpClient::onReadyRead()
{
    const QByteArray bytes = m_reply->readAll();
    m_received += bytes.size();
    if (m_received > m_maximumBodySize) {
        finishRequest(Error_WrongContentLength,
                      tr("The answer is larger than %1 bytes").arg(m_maximumBodySize));
        return;
    }
    if (m_current.device) {
        if (m_current.device->write(bytes) != bytes.size()) {
            finishRequest(Error_UnknownError,
                          tr("Writing the answer failed: %1").arg(m_current.device->errorString()));
        }
    } else {
        m_body.append(bytes);
    }
}

void HttpClient::onFinished()
{
    if (m_reply->bytesAvailable() > 0) {
        onReadyRead();
        if (!m_reply)
            return;
    }
    const Error error = errorOfReply();
    if (error != Error_NoError) {
        finishRequest(error, m_reply->errorString());
        return;
    }
    const bool closing =
        m_reply->rawHeader("Connection").compare("close", Qt::CaseInsensitive) == 0;
    const int id = m_current.id;
    const QPointer<HttpClient> self(this);
    if (closing) {
        setState(State_Closing);
        if (self && m_running && m_current.id == id)
            setState(State_Unconnected);
    } else {
        setState(State_Connected);
    }
    if (self && m_running && m_current.id == id)
        finishRequest(Error_NoError, QString());
}

HttpClient::Error HttpClient::errorOfReply() const
{
    const QNetworkReply::NetworkError error = m_reply->error();
    const bool answered = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (error == QNetworkReply::NoError || (answered && isAnswerStatus(error)))
        return Error_NoError;
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return Error_HostNotFound;
    case QNetworkReply::ConnectionRefusedError:
        return Error_ConnectionRefused;
    case QNetworkReply::RemoteHostClosedError:
        // Closed before the whole announced body arrived.
        if (answered && m_announcedLength >= 0 && m_received < m_announcedLength)
            return Error_WrongContentLength;
        return Error_UnexpectedClose;
    case QNetworkReply::ProtocolFailure:
        return Error_InvalidResponseHeader;
    case QNetworkReply::OperationCanceledError:
        return Error_Aborted;
    case QNetworkReply::AuthenticationRequiredError:
        return Error_AuthenticationRequired;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return Error_ProxyAuthenticationRequired;
    default:
        return Error_UnknownError;
    }
}

void HttpClient::finishRequest(Error error, const QString &errorString)
{
    if (!m_running)
        return;
    releaseReply();
    m_running = false;
    const int id = m_current.id;
    m_current = Request();
    m_error = error;
    m_errorString = errorString;
    const bool failed = error != Error_NoError;
    if (failed)
        m_pending.clear();
    const QPointer<HttpClient> self(this);
    if (failed)
        setState(State_Unconnected);
    if (!self)
        return;
    emit requestFinished(id, failed);
    if (!self || m_running)
        return;
    if (m_pending.empty())
        emit done(failed);
    else
        scheduleStart();
}

void HttpClient::abort()
{
    m_pending.clear();
    if (!m_running)
        return;
    finishRequest(Error_Aborted, tr("Request aborted"));
}

void HttpClient::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void HttpClient::releaseReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}
