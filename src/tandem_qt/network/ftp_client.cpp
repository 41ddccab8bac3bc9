#include "ftp_client.h"

#include "file_sender.h"
#include "ftp_list_parser.h"

#include <QBuffer>
#include <QFileDevice>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {

constexpr qint64 UploadChunk = 64 * 1024;
// Enough queued in the socket to keep the link busy (the kernel's send
// buffer does the rest), little enough to keep memory flat whatever the
// size of the file and whatever the number of sessions.
constexpr qint64 UploadWriteAhead = 192 * 1024;
// What a plain file sends in one step before the event loop runs again; the
// kernel takes it from the page cache, so the size costs no memory.
constexpr qint64 FileStep = 4 * 1024 * 1024;
constexpr qsizetype MaximumReplyLength = 64 * 1024;
constexpr qsizetype MaximumListLine = 64 * 1024;

bool isLineSafe(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'));
}

} // namespace

FtpClient::FtpClient(QObject *parent)
    : QObject(parent), m_control(new QTcpSocket(this)), m_inactivityTimer(new QTimer(this))
{
    qRegisterMetaType<UrlInfo>();
    m_inactivityTimer->setSingleShot(true);
    connect(m_inactivityTimer, &QTimer::timeout, this, &FtpClient::onInactivityTimeout);
    connect(m_control, &QTcpSocket::readyRead, this, &FtpClient::onControlReadyRead);
    connect(m_control, &QTcpSocket::stateChanged, this, &FtpClient::onControlStateChanged);
    connect(m_control, &QTcpSocket::errorOccurred, this, &FtpClient::onControlError);
    connect(m_control, &QTcpSocket::disconnected, this, &FtpClient::onControlDisconnected);
}

FtpClient::~FtpClient()
{
    // The sockets may still report their end while being destroyed.
    m_control->disconnect(this);
    if (m_data)
        m_data->disconnect(this);
}

int FtpClient::connectToHost(const QString &host, quint16 port)
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_ConnectToHost;
    command->text = host;
    command->port = port;
    return addCommand(std::move(command));
}

int FtpClient::rawCommand(const QString &text)
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_RawCommand;
    // Only the line end goes: a password may begin or end with blanks.
    QString line = text;
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    command->text = line;
    return addCommand(std::move(command));
}

int FtpClient::list(const QString &folder)
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_List;
    command->text = folder;
    command->transferType = TransferType_Ascii;
    return addCommand(std::move(command));
}

int FtpClient::get(const QString &file, QIODevice *device, TransferType type)
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_Get;
    command->text = file;
    command->device = device;
    command->transferType = type;
    return addCommand(std::move(command));
}

int FtpClient::put(QIODevice *device, const QString &file, TransferType type)
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_Put;
    command->text = file;
    command->device = device;
    command->transferType = type;
    return addCommand(std::move(command));
}

int FtpClient::put(const QByteArray &data, const QString &file, TransferType type)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_Put;
    command->text = file;
    command->device = buffer.get();
    command->ownedDevice = std::move(buffer);
    command->transferType = type;
    return addCommand(std::move(command));
}

int FtpClient::close()
{
    auto command = std::make_unique<PendingCommand>();
    command->type = Command_Close;
    return addCommand(std::move(command));
}

int FtpClient::currentId() const
{
    return m_current ? m_current->id : 0;
}

FtpClient::Command FtpClient::currentCommand() const
{
    return m_current ? m_current->type : Command_None;
}

QByteArray FtpClient::readAll()
{
    QByteArray result;
    result.swap(m_download);
    return result;
}

void FtpClient::setInactivityTimeout(int msec)
{
    m_inactivityMsec = msec;
    if (msec <= 0)
        m_inactivityTimer->stop();
    else if (m_current)
        restartInactivity();
}

int FtpClient::addCommand(std::unique_ptr<PendingCommand> command)
{
    command->id = m_nextId++;
    const int id = command->id;
    m_pending.push_back(std::move(command));
    m_quiet = false;
    scheduleStart();
    return id;
}

void FtpClient::scheduleStart()
{
    // Commands start from the event loop, so that a caller may connect to the
    // signals after queuing them, and a slot may queue the next one.
    if (m_startScheduled)
        return;
    m_startScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_startScheduled = false;
            startNextCommand();
        },
        Qt::QueuedConnection);
}

void FtpClient::startNextCommand()
{
    if (m_current || m_pending.empty())
        return;
    m_current = std::move(m_pending.front());
    m_pending.pop_front();
    m_error = Error_NoError;
    m_errorString.clear();
    const int id = m_current->id;
    const QPointer<FtpClient> self(this);
    emit commandStarted(id);
    if (!self || !m_current || m_current->id != id)
        return;
    restartInactivity();

    const PendingCommand &command = *m_current;
    if (command.type == Command_ConnectToHost) {
        if (m_control->state() != QAbstractSocket::UnconnectedState) {
            failCommand(Error_UnknownError, tr("Already connected to a host"));
            return;
        }
        m_phase = Phase_Connecting;
        m_controlBuffer.clear();
        m_multiLineCode = 0;
        m_awaitedReplies = 0;
        m_repliesToSkip = 0;
        m_extendedPassive = true;
        m_mlsdSupported = -1;
        m_control->connectToHost(command.text, command.port);
        return;
    }
    if (command.type == Command_Close && m_control->state() == QAbstractSocket::UnconnectedState) {
        finishCommand(false);
        return;
    }
    if (m_control->state() != QAbstractSocket::ConnectedState || m_phase != Phase_Idle) {
        failCommand(Error_NotConnected, tr("Not connected"));
        return;
    }
    if (!isLineSafe(command.text)) {
        failCommand(Error_UnknownError, tr("The command or file name contains a line break"));
        return;
    }
    switch (command.type) {
    case Command_RawCommand:
        m_phase = Phase_Raw;
        sendLine(command.text);
        break;
    case Command_List:
    case Command_Get:
    case Command_Put:
        if ((command.type == Command_Get || command.type == Command_Put) &&
            command.text.isEmpty()) {
            failCommand(Error_UnknownError, tr("No file name given"));
            return;
        }
        if (command.type == Command_Put && (!command.device || !command.device->isReadable())) {
            failCommand(Error_UnknownError, tr("The data to send cannot be read"));
            return;
        }
        if (command.type == Command_List && m_mlsdSupported < 0) {
            m_phase = Phase_Features;
            sendLine(QStringLiteral("FEAT"));
        } else {
            beginTransfer();
        }
        break;
    case Command_Close:
        m_phase = Phase_Quit;
        setState(State_Closing);
        if (self && m_current && m_current->id == id)
            sendLine(QStringLiteral("QUIT"));
        break;
    case Command_None:
    case Command_ConnectToHost:
        break;
    }
}

void FtpClient::finishCommand(bool error)
{
    if (!m_current)
        return;
    const int id = m_current->id;
    if (m_current->device)
        m_current->device->disconnect(this);
    m_current.reset();
    m_phase = Phase_Idle;
    m_inactivityTimer->stop();
    closeDataConnection();
    // Replies still owed belong to what just ended; the next command must not take them.
    m_repliesToSkip = m_awaitedReplies;
    if (error)
        m_pending.clear();
    if (m_quiet)
        return;
    const QPointer<FtpClient> self(this);
    emit commandFinished(id, error);
    if (!self || m_current || m_quiet)
        return;
    if (m_pending.empty())
        emit done(error);
    else
        scheduleStart();
}

void FtpClient::failCommand(Error error, const QString &detail)
{
    m_error = error;
    m_errorString = commandErrorText(detail);
    finishCommand(true);
}

QString FtpClient::commandErrorText(const QString &detail) const
{
    switch (currentCommand()) {
    case Command_ConnectToHost:
        return tr("Connecting to host failed:\n%1").arg(detail);
    case Command_List:
        return tr("Listing directory failed:\n%1").arg(detail);
    case Command_Get:
        return tr("Downloading file failed:\n%1").arg(detail);
    case Command_Put:
        return tr("Uploading file failed:\n%1").arg(detail);
    default:
        return detail;
    }
}

void FtpClient::failConnection(Error error, const QString &text)
{
    if (m_state == State_Unconnected && !m_current)
        return;
    closeDataConnection();
    {
        const QSignalBlocker blocker(m_control);
        m_control->abort();
    }
    m_awaitedReplies = 0;
    m_repliesToSkip = 0;
    m_controlBuffer.clear();
    m_multiLineCode = 0;
    const bool closing = m_phase == Phase_Quit;
    // The state goes first: a caller that gives up on the lost connection
    // then ignores the command's error, but may already read why.
    if (!closing && m_current) {
        m_error = error;
        m_errorString = commandErrorText(text);
    }
    const QPointer<FtpClient> self(this);
    setState(State_Unconnected);
    if (!self || !m_current)
        return;
    if (closing)
        finishCommand(false);
    else
        failCommand(error, text);
}

void FtpClient::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (!m_quiet)
        emit stateChanged(state);
}

void FtpClient::abort()
{
    m_pending.clear();
    if (!m_current)
        return;
    const int id = m_current->id;
    m_quiet = true;
    if (m_phase == Phase_Connecting || m_phase == Phase_Greeting || m_phase == Phase_Quit) {
        const QSignalBlocker blocker(m_control);
        m_control->abort();
        m_awaitedReplies = 0;
        setState(State_Unconnected);
    } else if ((m_phase == Phase_Transfer || m_phase == Phase_Passive) &&
               m_control->state() == QAbstractSocket::ConnectedState) {
        sendLine(QStringLiteral("ABOR"));
    }
    m_error = Error_UnknownError;
    m_errorString = tr("Aborted");
    finishCommand(true);
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            emit commandFinished(id, true);
            if (!m_current && m_pending.empty())
                emit done(true);
        },
        Qt::QueuedConnection);
}

void FtpClient::sendLine(const QString &line)
{
    m_sentLine = line;
    ++m_awaitedReplies;
    m_control->write(line.toUtf8() + "\r\n");
}

void FtpClient::onControlReadyRead()
{
    restartInactivity();
    m_controlBuffer.append(m_control->readAll());
    const QPointer<FtpClient> self(this);
    qsizetype newline;
    while ((newline = m_controlBuffer.indexOf('\n')) >= 0) {
        QByteArray line = m_controlBuffer.left(newline);
        m_controlBuffer.remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!processReplyLine(line) || !self)
            return;
    }
    if (m_controlBuffer.size() > MaximumReplyLength)
        failConnection(Error_UnknownError, tr("The server sent an overlong reply"));
}

bool FtpClient::processReplyLine(const QByteArray &line)
{
    auto codeOf = [](const QByteArray &text) {
        if (text.size() < 3)
            return 0;
        for (int i = 0; i < 3; ++i) {
            if (text.at(i) < '0' || text.at(i) > '9')
                return 0;
        }
        const int code = text.left(3).toInt();
        return code >= 100 && code < 600 ? code : 0;
    };
    const int code = codeOf(line);
    if (m_multiLineCode != 0) {
        // Inside a multi-line reply anything goes until "<code> " ends it.
        const bool last = code == m_multiLineCode && (line.size() == 3 || line.at(3) == ' ');
        m_multiLineText += QLatin1Char('\n') + QString::fromUtf8(last ? line.mid(4) : line);
        if (m_multiLineText.size() > MaximumReplyLength) {
            failConnection(Error_UnknownError, tr("The server sent an overlong reply"));
            return false;
        }
        if (last) {
            m_multiLineCode = 0;
            handleReply(code, m_multiLineText);
        }
        return true;
    }
    if (code == 0 || (line.size() > 3 && line.at(3) != ' ' && line.at(3) != '-')) {
        failConnection(Error_UnknownError, tr("The server sent an invalid reply"));
        return false;
    }
    if (line.size() > 3 && line.at(3) == '-') {
        m_multiLineCode = code;
        m_multiLineText = QString::fromUtf8(line.mid(4));
        return true;
    }
    handleReply(code, QString::fromUtf8(line.mid(4)));
    return true;
}

void FtpClient::handleReply(int code, const QString &text)
{
    if (code < 200) {
        // A preliminary reply; the final one follows.
        if (m_repliesToSkip == 0 && m_phase == Phase_Transfer) {
            m_transferStarted = true;
            if (m_current->type == Command_Put)
                pumpUpload();
        }
        return;
    }
    if (m_awaitedReplies > 0)
        --m_awaitedReplies;
    if (m_repliesToSkip > 0) {
        --m_repliesToSkip;
        return;
    }
    if (!m_current)
        return; // unrequested, such as a farewell before the server hangs up

    const QPointer<FtpClient> self(this);
    switch (m_phase) {
    case Phase_Greeting:
        if (code < 300)
            finishCommand(false);
        else
            failConnection(Error_UnknownError, text);
        break;
    case Phase_Raw: {
        const int id = m_current->id;
        if (!m_quiet)
            emit rawCommandReply(code, text);
        if (!self || !m_current || m_current->id != id)
            return;
        if (code == 230) {
            setState(State_LoggedIn);
            if (!self || !m_current || m_current->id != id)
                return;
        }
        if (code >= 400)
            failCommand(Error_UnknownError, text);
        else
            finishCommand(false);
        break;
    }
    case Phase_Features: {
        m_mlsdSupported = 0;
        if (code < 300) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            for (const QString &feature : lines) {
                if (feature.trimmed().startsWith(QLatin1String("MLST"), Qt::CaseInsensitive))
                    m_mlsdSupported = 1;
            }
        }
        beginTransfer();
        break;
    }
    case Phase_Type:
        if (code >= 400) {
            failCommand(Error_UnknownError, text);
        } else if (m_current->type == Command_Get) {
            m_phase = Phase_Size;
            sendLine(QStringLiteral("SIZE ") + m_current->text);
        } else {
            sendPassive();
        }
        break;
    case Phase_Size:
        // Only tells the total for the progress; servers may refuse it.
        if (code == 213) {
            bool ok = false;
            const qint64 size = text.trimmed().toLongLong(&ok);
            m_total = ok && size >= 0 ? size : 0;
        }
        sendPassive();
        break;
    case Phase_Passive:
        handlePassiveReply(code, text);
        break;
    case Phase_Transfer:
        m_transferReplied = true;
        if (code >= 400) {
            if (m_useMlsd && (code == 500 || code == 502)) {
                // Advertised but refused: list the old way.
                m_mlsdSupported = 0;
                closeDataConnection();
                beginTransfer();
            } else {
                failCommand(Error_UnknownError, text);
            }
        } else {
            tryFinishTransfer();
        }
        break;
    case Phase_Quit:
        // Wait for the connection to end; the command finishes then.
        m_control->disconnectFromHost();
        break;
    case Phase_Idle:
    case Phase_Connecting:
        break;
    }
}

void FtpClient::onControlStateChanged()
{
    switch (m_control->state()) {
    case QAbstractSocket::HostLookupState:
        setState(State_HostLookup);
        break;
    case QAbstractSocket::ConnectingState:
        setState(State_Connecting);
        break;
    case QAbstractSocket::ConnectedState:
        if (m_phase == Phase_Connecting) {
            m_phase = Phase_Greeting;
            setState(State_Connected);
        }
        break;
    default:
        break;
    }
}

void FtpClient::onControlError()
{
    const QAbstractSocket::SocketError socketError = m_control->error();
    if (socketError == QAbstractSocket::RemoteHostClosedError)
        return; // onControlDisconnected
    const QString host = m_current ? m_current->text : m_control->peerName();
    switch (socketError) {
    case QAbstractSocket::HostNotFoundError:
        failConnection(Error_HostNotFound, tr("Host %1 not found").arg(host));
        break;
    case QAbstractSocket::ConnectionRefusedError:
        failConnection(Error_ConnectionRefused, tr("Connection refused to host %1").arg(host));
        break;
    case QAbstractSocket::SocketTimeoutError:
        failConnection(Error_ConnectionRefused, tr("Connection timed out to host %1").arg(host));
        break;
    default:
        failConnection(Error_UnknownError, m_control->errorString());
        break;
    }
}

void FtpClient::onControlDisconnected()
{
    if (m_state == State_Unconnected && !m_current)
        return;
    failConnection(Error_UnknownError, tr("The server closed the connection"));
}

void FtpClient::beginTransfer()
{
    const PendingCommand &command = *m_current;
    m_useMlsd = command.type == Command_List && m_mlsdSupported == 1;
    m_transferStarted = false;
    m_transferReplied = false;
    m_dataConnected = false;
    m_dataDone = false;
    m_dataLost = false;
    m_deviceAtEnd = false;
    m_deviceFinished = false;
    m_done = 0;
    m_total = 0;
    m_lineBuffer.clear();
    m_discardingLine = false;
    m_sendFile = command.type == Command_Put && FileSender::canSend(command.device);
    if (command.type == Command_Put && !command.device->isSequential())
        m_total = command.device->size() - command.device->pos();
    if (command.type == Command_Put && command.device->isSequential()) {
        // A pipe or socket may run dry before its end: go on when it has more.
        connect(command.device, &QIODevice::readyRead, this, &FtpClient::pumpUpload,
                Qt::UniqueConnection);
        connect(command.device, &QIODevice::readChannelFinished, this, &FtpClient::onDeviceFinished,
                Qt::UniqueConnection);
    }
    m_phase = Phase_Type;
    sendLine(command.transferType == TransferType_Binary ? QStringLiteral("TYPE I")
                                                         : QStringLiteral("TYPE A"));
}

void FtpClient::sendPassive()
{
    m_phase = Phase_Passive;
    sendLine(m_extendedPassive ? QStringLiteral("EPSV") : QStringLiteral("PASV"));
}

void FtpClient::handlePassiveReply(int code, const QString &text)
{
    if (m_extendedPassive) {
        if (code == 229) {
            // "Entering Extended Passive Mode (|||6446|)"
            static const QRegularExpression pattern(QStringLiteral("\\((.)\\1\\1(\\d{1,5})\\1\\)"));
            const QRegularExpressionMatch match = pattern.match(text);
            const int port = match.hasMatch() ? match.captured(2).toInt() : 0;
            if (port <= 0 || port > 65535) {
                failCommand(Error_UnknownError, tr("The server sent an invalid passive reply"));
                return;
            }
            openDataConnection(static_cast<quint16>(port));
            return;
        }
        if (code >= 500) {
            m_extendedPassive = false; // for the rest of the session
            sendPassive();
            return;
        }
        failCommand(Error_UnknownError, text);
        return;
    }
    if (code != 227) {
        failCommand(Error_UnknownError, text);
        return;
    }
    // "Entering Passive Mode (h1,h2,h3,h4,p1,p2)". The address is not used:
    // the data connection goes to the host of the control connection, so a
    // server behind NAT works and no server can send us elsewhere.
    static const QRegularExpression pattern(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int high = match.hasMatch() ? match.captured(5).toInt() : 256;
    const int low = match.hasMatch() ? match.captured(6).toInt() : 256;
    const int port = high * 256 + low;
    if (high > 255 || low > 255 || port == 0) {
        failCommand(Error_UnknownError, tr("The server sent an invalid passive reply"));
        return;
    }
    openDataConnection(static_cast<quint16>(port));
}

void FtpClient::openDataConnection(quint16 port)
{
    closeDataConnection();
    m_data = new QTcpSocket(this);
    connect(m_data, &QTcpSocket::connected, this, &FtpClient::onDataConnected);
    connect(m_data, &QTcpSocket::readyRead, this, &FtpClient::onDataReadyRead);
    connect(m_data, &QTcpSocket::bytesWritten, this, &FtpClient::onDataBytesWritten);
    connect(m_data, &QTcpSocket::disconnected, this, &FtpClient::onDataDisconnected);
    connect(m_data, &QTcpSocket::errorOccurred, this, &FtpClient::onDataError);
    const bool sending = m_current->type == Command_Put;
    m_data->connectToHost(m_control->peerAddress(), port,
                          sending ? QIODevice::ReadWrite | QIODevice::Unbuffered
                                  : QIODevice::ReadWrite);
    // The command goes out at once; servers wait for the data connection.
    m_phase = Phase_Transfer;
    sendLine(transferCommandLine());
}

QString FtpClient::transferCommandLine() const
{
    const PendingCommand &command = *m_current;
    switch (command.type) {
    case Command_List: {
        const QString verb = m_useMlsd ? QStringLiteral("MLSD") : QStringLiteral("LIST");
        return command.text.isEmpty() ? verb : verb + QLatin1Char(' ') + command.text;
    }
    case Command_Get:
        return QStringLiteral("RETR ") + command.text;
    default:
        return QStringLiteral("STOR ") + command.text;
    }
}

void FtpClient::closeDataConnection()
{
    stopFileSender(); // its duplicate of the socket first, or the peer sees no end
    if (!m_data)
        return;
    m_data->disconnect(this);
    m_data->abort();
    m_data->deleteLater();
    m_data = nullptr;
}

void FtpClient::onDataConnected()
{
    m_dataConnected = true;
    if (m_current && m_current->type == Command_Put && m_transferStarted)
        pumpUpload();
}

// The data socket of a STOR is unbuffered: what the kernel takes goes to it
// straight from the chunk, and only what it refuses waits in the socket.
// One call sends at most the write-ahead; the event loop runs in between.
void FtpClient::pumpUpload()
{
    if (!m_current || m_current->type != Command_Put || m_phase != Phase_Transfer ||
        !m_transferStarted || !m_data || !m_dataConnected || m_deviceAtEnd || m_dataLost)
        return;
    if (m_data->state() != QAbstractSocket::ConnectedState) {
        // Reset by the peer, which Qt may tell only by closing the socket
        // (without disconnected()); the server's reply tells the rest.
        m_dataLost = true;
        stopFileSender();
        tryFinishTransfer();
        return;
    }
    QIODevice *device = m_current->device;
    if (!device) {
        failCommand(Error_UnknownError, tr("The data to send has gone"));
        return;
    }
    if (m_sendFile) {
        pumpFile();
        return;
    }
    if (m_chunk.size() != UploadChunk)
        m_chunk.resize(UploadChunk);
    qint64 budget = UploadWriteAhead;
    qint64 sentDirectly = 0;
    while (m_data->bytesToWrite() < UploadWriteAhead) {
        if (budget <= 0) {
            // Nothing queued means no bytesWritten() to come and call again.
            if (m_data->bytesToWrite() == 0)
                queuePump();
            break;
        }
        const qint64 count = device->read(m_chunk.data(), UploadChunk);
        // A pipe or socket that has ended answers -1 rather than 0.
        const bool ended = count == 0 || (count < 0 && device->isSequential() && m_deviceFinished);
        if (count < 0 && !ended) {
            failCommand(Error_UnknownError,
                        tr("Reading the data to send failed: %1").arg(device->errorString()));
            return;
        }
        if (ended) {
            if (device->isSequential() && !m_deviceFinished)
                break; // more comes with the device's readyRead
            m_deviceAtEnd = true;
            m_chunk = QByteArray();
            m_data->disconnectFromHost(); // after what is queued has gone out
            break;
        }
        const qint64 queued = m_data->bytesToWrite();
        if (m_data->write(m_chunk.constData(), count) < 0) {
            // The peer is gone; the sockets' signals and the server's reply
            // end the command.
            m_dataLost = true;
            break;
        }
        sentDirectly += count - (m_data->bytesToWrite() - queued);
        budget -= count;
    }
    if (sentDirectly > 0)
        noteSent(sentDirectly);
}

// One step of a plain file: progress first, then what the step's end asks.
void FtpClient::pumpFile()
{
    if (!m_fileSender) {
        m_fileSender = std::make_unique<FileSender>(
            static_cast<QFileDevice *>(m_current->device.data()), m_data->socketDescriptor());
        if (m_fileSender->descriptor() >= 0) {
            // Enabled throughout: it fires whenever the socket can take more,
            // also after a step that used its budget up.
            auto *notifier =
                new QSocketNotifier(m_fileSender->descriptor(), QSocketNotifier::Write, this);
            connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
                if (notifier == m_sendNotifier)
                    pumpUpload();
            });
            m_sendNotifier = notifier;
        }
    }
    qint64 sent = 0;
    const FileSender::Status status = m_fileSender->send(FileStep, &sent);
    if (sent > 0) {
        const int id = m_current->id;
        const QPointer<FtpClient> self(this);
        noteSent(sent);
        if (!self || !m_current || m_current->id != id || !m_fileSender)
            return;
    }
    switch (status) {
    case FileSender::Status_Sending:
    case FileSender::Status_Blocked:
        break; // the notifier calls again
    case FileSender::Status_AtEnd:
        m_deviceAtEnd = true;
        stopFileSender();
        m_data->disconnectFromHost();
        break;
    case FileSender::Status_Failed:
        if (m_fileSender->readFailed()) {
            failCommand(Error_UnknownError,
                        tr("Reading the data to send failed: %1").arg(m_fileSender->errorString()));
            return;
        }
        // The peer is gone; the sockets' signals or the server's reply tell the rest.
        m_dataLost = true;
        stopFileSender();
        tryFinishTransfer();
        break;
    }
}

void FtpClient::stopFileSender()
{
    if (m_sendNotifier) {
        m_sendNotifier->setEnabled(false);
        m_sendNotifier->deleteLater(); // it may be the one that called
        m_sendNotifier = nullptr;
    }
    m_fileSender.reset();
}

void FtpClient::queuePump()
{
    if (std::exchange(m_pumpQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pumpQueued = false;
            pumpUpload();
        },
        Qt::QueuedConnection);
}

void FtpClient::noteSent(qint64 bytes)
{
    restartInactivity();
    m_done += bytes;
    if (!m_quiet)
        emit dataTransferProgress(m_done, m_total);
}

void FtpClient::onDeviceFinished()
{
    m_deviceFinished = true;
    pumpUpload();
}

void FtpClient::onDataBytesWritten(qint64 bytes)
{
    if (!m_current || m_current->type != Command_Put)
        return;
    const QPointer<FtpClient> self(this);
    noteSent(bytes);
    if (self && m_current && m_current->type == Command_Put)
        pumpUpload();
}

void FtpClient::onDataReadyRead()
{
    if (!m_current)
        return;
    restartInactivity();
    if (m_current->type == Command_List) {
        processListData(false);
        return;
    }
    if (m_current->type != Command_Get) {
        m_data->readAll(); // nothing is expected back while sending
        return;
    }
    const QByteArray bytes = m_data->readAll();
    m_done += bytes.size();
    QIODevice *device = m_current->device;
    if (device) {
        if (device->write(bytes) != bytes.size()) {
            failCommand(Error_UnknownError,
                        tr("Writing the received data failed: %1").arg(device->errorString()));
            return;
        }
    } else {
        if (m_download.size() + bytes.size() > m_maximumDownload) {
            failCommand(Error_UnknownError,
                        tr("The file is larger than %1 bytes").arg(m_maximumDownload));
            return;
        }
        m_download.append(bytes);
    }
    const QPointer<FtpClient> self(this);
    if (!m_quiet && !device)
        emit readyRead();
    if (self && !m_quiet && m_current)
        emit dataTransferProgress(m_done, m_total);
}

void FtpClient::processListData(bool atEnd)
{
    m_lineBuffer.append(m_data->readAll());
    const int id = m_current->id;
    const QPointer<FtpClient> self(this);
    qsizetype newline;
    while ((newline = m_lineBuffer.indexOf('\n')) >= 0 || (atEnd && !m_lineBuffer.isEmpty())) {
        const qsizetype length = newline >= 0 ? newline : m_lineBuffer.size();
        const QByteArray line = m_lineBuffer.left(length);
        m_lineBuffer.remove(0, newline >= 0 ? newline + 1 : length);
        if (m_discardingLine) {
            m_discardingLine = false; // the end of an overlong line
            continue;
        }
        UrlInfo info;
        const QString text = QString::fromUtf8(line);
        const bool parsed = m_useMlsd ? FtpListParser::parseMlsdLine(text, &info)
                                      : FtpListParser::parseListLine(text, &info);
        if (parsed && !m_quiet) {
            emit listInfo(info);
            if (!self || !m_current || m_current->id != id)
                return;
        }
    }
    if (m_lineBuffer.size() > MaximumListLine) {
        m_lineBuffer.clear();
        m_discardingLine = true;
    }
}

void FtpClient::onDataDisconnected()
{
    if (!m_current)
        return;
    if (m_current->type == Command_Put) {
        if (!m_deviceAtEnd) {
            // Refused by the server; its reply (or the loss of the control
            // connection) tells the rest.
            m_dataLost = true;
            stopFileSender();
            tryFinishTransfer();
            return;
        }
    } else if (m_current->type == Command_List) {
        processListData(true);
        if (!m_current)
            return;
    } else {
        onDataReadyRead();
        if (!m_current)
            return;
    }
    m_dataDone = true;
    tryFinishTransfer();
}

void FtpClient::onDataError()
{
    if (!m_data || m_data->error() == QAbstractSocket::RemoteHostClosedError)
        return; // onDataDisconnected
    if (!m_dataConnected) {
        failCommand(Error_UnknownError,
                    tr("The data connection could not be opened: %1").arg(m_data->errorString()));
        return;
    }
    m_dataLost = true;
    stopFileSender();
    tryFinishTransfer();
}

void FtpClient::tryFinishTransfer()
{
    if (m_phase != Phase_Transfer || !m_transferReplied)
        return;
    if (m_dataLost)
        failCommand(Error_UnknownError, tr("The data connection was closed too early"));
    else if (m_dataDone)
        finishCommand(false);
}

void FtpClient::restartInactivity()
{
    if (m_inactivityMsec > 0 && m_current)
        m_inactivityTimer->start(m_inactivityMsec);
}

void FtpClient::onInactivityTimeout()
{
    if (!m_current)
        return;
    failConnection(Error_UnknownError, tr("The server did not answer in time"));
}
