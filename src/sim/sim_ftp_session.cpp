#include "sim_ftp_session.h"

#include "simulated_controller.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {
constexpr qsizetype MaximumLine = 4096;
constexpr qint64 SendChunk = 64 * 1024;
constexpr qint64 SendWriteAhead = 256 * 1024;
constexpr int ThrottleTickMsec = 100;
constexpr int DataWaitMsec = 30000;

bool isTransferVerb(const QString &verb)
{
    static const QStringList verbs = {QStringLiteral("LIST"), QStringLiteral("NLST"),
                                      QStringLiteral("MLSD"), QStringLiteral("RETR"),
                                      QStringLiteral("STOR")};
    return verbs.contains(verb);
}
int openCount = 0;
int peakCount = 0;
} // namespace

SimFtpSession::SimFtpSession(QTcpSocket *socket, SimulatedController *controller)
    : QObject(controller), m_control(socket), m_controller(controller),
      m_dataWait(new QTimer(this)), m_throttle(new QTimer(this))
{
    socket->setParent(this);
    m_dataWait->setSingleShot(true);
    m_dataWait->setInterval(DataWaitMsec);
    connect(m_dataWait, &QTimer::timeout, this, &SimFtpSession::onDataWaitTimeout);
    m_throttle->setInterval(ThrottleTickMsec);
    connect(m_throttle, &QTimer::timeout, this, &SimFtpSession::onThrottleTick);
    connect(socket, &QTcpSocket::readyRead, this, &SimFtpSession::onControlReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SimFtpSession::dropEverything);
    peakCount = qMax(peakCount, ++openCount);
    reply(
        220,
        QStringLiteral("Rigwarden controller simulator %1 ready.").arg(controller->serialNumber()));
}

SimFtpSession::~SimFtpSession()
{
    countClosed();
    if (m_data)
        m_data->disconnect(this);
    m_control->disconnect(this);
}

void SimFtpSession::reply(int code, const QString &text)
{
    m_controller->trace(QStringLiteral("FTP > %1 %2").arg(code).arg(text));
    m_control->write(QByteArray::number(code) + ' ' + text.toUtf8() + "\r\n");
}

void SimFtpSession::onControlReadyRead()
{
    m_buffer.append(m_control->readAll());
    qsizetype newline;
    while ((newline = m_buffer.indexOf('\n')) >= 0) {
        QByteArray line = m_buffer.left(newline);
        m_buffer.remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = QString::fromUtf8(line);
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        const QString verb = (blank < 0 ? text : text.left(blank)).toUpper();
        const QString argument = blank < 0 ? QString() : text.mid(blank + 1);
        m_controller->trace(
            QStringLiteral("FTP < %1")
                .arg(verb == QLatin1String("PASS") ? QStringLiteral("PASS ****") : text));
        handleCommand(verb, argument);
        if (m_control->state() != QAbstractSocket::ConnectedState)
            return;
    }
    if (m_buffer.size() > MaximumLine) {
        reply(500, QStringLiteral("Line too long."));
        m_control->disconnectFromHost();
    }
}

bool SimFtpSession::handleLogin(const QString &verb, const QString &argument)
{
    const SimControllerConfig &config = m_controller->config();
    if (verb == QLatin1String("USER")) {
        m_loggedIn = false;
        m_user = argument;
        if (m_user == QLatin1String("rigward") && config.loggedInAtUser) {
            m_loggedIn = true;
            reply(230, QStringLiteral("User logged in, proceed."));
        } else {
            reply(331, QStringLiteral("Password required for %1.").arg(m_user));
        }
        return true;
    }
    if (verb == QLatin1String("PASS")) {
        if (m_loggedIn) {
            reply(230, QStringLiteral("Already logged in."));
        } else if (m_user.isEmpty()) {
            reply(503, QStringLiteral("Login with USER first."));
        } else if (m_user != QLatin1String("rigward") ||
                   (!config.password.isEmpty() && argument != config.password)) {
            m_user.clear();
            reply(530, QStringLiteral("Login incorrect."));
        } else {
            m_loggedIn = true;
            reply(230, QStringLiteral("User logged in, proceed."));
        }
        return true;
    }
    return false;
}

void SimFtpSession::handleCommand(const QString &verb, const QString &argument)
{
    if (handleLogin(verb, argument))
        return;
    if (verb == QLatin1String("QUIT")) {
        reply(221, QStringLiteral("Goodbye."));
        dropTransfer();
        m_control->disconnectFromHost();
        return;
    }
    if (verb == QLatin1String("NOOP")) {
        reply(200, QStringLiteral("NOOP ok."));
        return;
    }
    if (verb == QLatin1String("SYST")) {
        reply(215, QStringLiteral("UNIX Type: L8"));
        return;
    }
    if (verb == QLatin1String("FEAT")) {
        m_control->write("211-Features:\r\n EPSV\r\n PASV\r\n SIZE\r\n MDTM\r\n"
                         " MLST type*;size*;modify*;\r\n UTF8\r\n211 End\r\n");
        return;
    }
    if (verb == QLatin1String("OPTS")) {
        if (argument.compare(QLatin1String("UTF8 ON"), Qt::CaseInsensitive) == 0)
            reply(200, QStringLiteral("Always in UTF8 mode."));
        else
            reply(501, QStringLiteral("Option not understood."));
        return;
    }
    if (!m_loggedIn) {
        reply(530, QStringLiteral("Please login with USER and PASS."));
        return;
    }
    if (verb == QLatin1String("ABOR")) {
        if (m_transfer != Transfer_None) {
            dropTransfer();
            reply(426, QStringLiteral("Connection closed; transfer aborted."));
        }
        reply(226, QStringLiteral("ABOR command successful."));
        return;
    }
    if (m_transfer != Transfer_None && isTransferVerb(verb)) {
        reply(425, QStringLiteral("A transfer is already running."));
        return;
    }
    if (verb == QLatin1String("PWD") || verb == QLatin1String("XPWD")) {
        reply(257, QStringLiteral("\"/\" is the current directory."));
    } else if (verb == QLatin1String("CWD") || verb == QLatin1String("CDUP")) {
        if (verb == QLatin1String("CDUP") || argument == QLatin1String("/") ||
            argument == QLatin1String(".") || argument.isEmpty())
            reply(250, QStringLiteral("Directory is \"/\"."));
        else
            reply(550, QStringLiteral("No such directory."));
    } else if (verb == QLatin1String("TYPE")) {
        const QString type = argument.toUpper();
        if (type == QLatin1String("I") || type == QLatin1String("L 8") ||
            type.startsWith(QLatin1String("A")))
            reply(200, QStringLiteral("Type set to %1.").arg(type));
        else
            reply(504, QStringLiteral("Type not supported."));
    } else if (verb == QLatin1String("MODE") || verb == QLatin1String("STRU")) {
        const bool known = argument.toUpper() == (verb == QLatin1String("MODE") ? u"S" : u"F");
        reply(known ? 200 : 504, known ? QStringLiteral("Ok.") : QStringLiteral("Not supported."));
    } else if (verb == QLatin1String("ALLO")) {
        reply(202, QStringLiteral("No storage allocation necessary."));
    } else if (verb == QLatin1String("PASV") || verb == QLatin1String("EPSV")) {
        openPassive(verb == QLatin1String("EPSV"));
    } else if (verb == QLatin1String("SIZE") || verb == QLatin1String("MDTM") ||
               verb == QLatin1String("DELE")) {
        const QString path = localPath(argument);
        const QFileInfo info(path);
        if (path.isEmpty() || !info.isFile()) {
            reply(550, QStringLiteral("No such file."));
        } else if (verb == QLatin1String("SIZE")) {
            reply(213, QString::number(info.size()));
        } else if (verb == QLatin1String("MDTM")) {
            reply(213, info.lastModified().toUTC().toString(QStringLiteral("yyyyMMddHHmmss")));
        } else if (QFile::remove(path)) {
            reply(250, QStringLiteral("File removed."));
        } else {
            reply(550, QStringLiteral("The file could not be removed."));
        }
    } else if (verb == QLatin1String("LIST")) {
        beginTransfer(Transfer_List, argument);
    } else if (verb == QLatin1String("NLST")) {
        beginTransfer(Transfer_NameList, argument);
    } else if (verb == QLatin1String("MLSD")) {
        beginTransfer(Transfer_Mlsd, argument);
    } else if (verb == QLatin1String("RETR")) {
        beginTransfer(Transfer_Retrieve, argument);
    } else if (verb == QLatin1String("STOR")) {
        beginTransfer(Transfer_Store, argument);
    } else {
        reply(502, QStringLiteral("Command not implemented."));
    }
}

QString SimFtpSession::localPath(const QString &argument) const
{
    // Only the files of the controller's one folder, under their plain names.
    QString name = argument;
    if (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return m_controller->folder() + QLatin1Char('/') + name;
}

void SimFtpSession::openPassive(bool extended)
{
    dropTransfer();
    const QHostAddress local = m_control->localAddress();
    bool isIpv4 = false;
    const quint32 ipv4 = local.toIPv4Address(&isIpv4);
    if (!extended && !isIpv4) {
        reply(522, QStringLiteral("Use EPSV on this network."));
        return;
    }
    m_passive = new QTcpServer(this);
    connect(m_passive, &QTcpServer::newConnection, this, &SimFtpSession::onPassiveConnection);
    if (!m_passive->listen(local, 0)) {
        delete m_passive;
        m_passive = nullptr;
        reply(425, QStringLiteral("Cannot open a passive port."));
        return;
    }
    const quint16 port = m_passive->serverPort();
    if (extended) {
        reply(229, QStringLiteral("Entering Extended Passive Mode (|||%1|).").arg(port));
    } else {
        reply(227, QStringLiteral("Entering Passive Mode (%1,%2,%3,%4,%5,%6).")
                       .arg(ipv4 >> 24)
                       .arg((ipv4 >> 16) & 0xFF)
                       .arg((ipv4 >> 8) & 0xFF)
                       .arg(ipv4 & 0xFF)
                       .arg(port >> 8)
                       .arg(port & 0xFF));
    }
}

void SimFtpSession::onPassiveConnection()
{
    QTcpSocket *socket = m_passive->nextPendingConnection();
    if (!socket)
        return;
    // Only the client of this session may connect.
    if (m_data || socket->peerAddress() != m_control->peerAddress()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_passive->close();
    m_data = socket;
    m_data->setParent(this);
    connect(m_data, &QTcpSocket::readyRead, this, &SimFtpSession::onDataReadyRead);
    connect(m_data, &QTcpSocket::bytesWritten, this, &SimFtpSession::onDataBytesWritten);
    connect(m_data, &QTcpSocket::disconnected, this, &SimFtpSession::onDataDisconnected);
    startTransferIfReady();
}

void SimFtpSession::beginTransfer(Transfer transfer, const QString &argument)
{
    if (!m_passive && !m_data) {
        reply(425, QStringLiteral("Use PASV or EPSV first."));
        return;
    }
    const SimControllerConfig &config = m_controller->config();
    if (transfer == Transfer_Retrieve || transfer == Transfer_Store) {
        const QString path = localPath(argument);
        m_file.setFileName(path);
        const QIODevice::OpenMode mode = transfer == Transfer_Store
                                             ? QIODevice::WriteOnly | QIODevice::Truncate
                                             : QIODevice::ReadOnly;
        if (path.isEmpty() || (transfer == Transfer_Retrieve && !QFileInfo(path).isFile()) ||
            !m_file.open(mode)) {
            reply(550, QStringLiteral("Cannot open \"%1\".").arg(argument));
            dropTransfer();
            return;
        }
        m_transferName = QFileInfo(path).fileName();
    } else {
        m_outgoing = listing(transfer);
        m_outgoingPos = 0;
    }
    if (transfer == Transfer_Store) {
        const int number = m_controller->nextStorNumber();
        m_dropPlanned = number == config.dropStor;
        m_stallPlanned = number == config.stallStor;
    }
    m_transfer = transfer;
    m_transferStarted = false;
    m_sendingDone = false;
    m_dataWait->start();
    startTransferIfReady();
}

QByteArray SimFtpSession::listing(Transfer transfer) const
{
    const QDir folder(m_controller->folder());
    const QFileInfoList entries =
        folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray text;
    for (const QFileInfo &entry : entries) {
        const QDateTime modified = entry.lastModified();
        QString line;
        if (transfer == Transfer_NameList) {
            line = entry.fileName();
        } else if (transfer == Transfer_Mlsd) {
            line = QStringLiteral("type=%1;size=%2;modify=%3; %4")
                       .arg(entry.isDir() ? QStringLiteral("dir") : QStringLiteral("file"))
                       .arg(entry.size())
                       .arg(modified.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")),
                            entry.fileName());
        } else {
            const bool recent = qAbs(modified.daysTo(now)) < 180;
            const QString date = QLocale::c().toString(
                modified, recent ? QStringLiteral("MMM dd HH:mm") : QStringLiteral("MMM dd  yyyy"));
            line = QStringLiteral("%1 1 rigward rigward %2 %3 %4")
                       .arg(entry.isDir() ? QStringLiteral("drwxr-xr-x")
                                          : QStringLiteral("-rw-r--r--"))
                       .arg(entry.size(), 12)
                       .arg(date, entry.fileName());
        }
        text += line.toUtf8() + "\r\n";
    }
    return text;
}

void SimFtpSession::startTransferIfReady()
{
    if (m_transfer == Transfer_None || !m_data || m_transferStarted)
        return;
    m_transferStarted = true;
    m_dataWait->stop();
    const qint64 speed = m_controller->config().bytesPerSecond;
    if (speed > 0) {
        m_allowance = qMax<qint64>(1, speed * ThrottleTickMsec / 1000);
        m_data->setReadBufferSize(m_allowance);
        m_throttle->start();
    }
    if (m_transfer == Transfer_Retrieve)
        reply(150, QStringLiteral("Opening BINARY mode data connection for %1 (%2 bytes).")
                       .arg(m_transferName)
                       .arg(m_file.size()));
    else if (m_transfer == Transfer_Store)
        reply(150, QStringLiteral("Ok to send data for %1.").arg(m_transferName));
    else
        reply(150, QStringLiteral("Here comes the directory listing."));
    if (m_transfer == Transfer_Store)
        onDataReadyRead();
    else
        sendMore();
}

void SimFtpSession::onDataReadyRead()
{
    if (m_transfer != Transfer_Store || !m_transferStarted || m_stalled)
        return;
    if (m_dropPlanned || m_stallPlanned) {
        storeAvailable(m_data->bytesAvailable());
        if (m_dropPlanned) {
            m_controller->trace(QStringLiteral("fault: dropping the connection during STOR %1")
                                    .arg(m_transferName));
            dropEverything();
        } else {
            m_controller->trace(QStringLiteral("fault: stalling STOR %1").arg(m_transferName));
            m_stalled = true;
            m_data->setReadBufferSize(1);
        }
        return;
    }
    if (!m_throttle->isActive())
        storeAvailable(m_data->bytesAvailable());
}

void SimFtpSession::storeAvailable(qint64 maximum)
{
    const QByteArray bytes = m_data->read(maximum);
    if (!bytes.isEmpty() && m_file.write(bytes) != bytes.size()) {
        dropTransfer();
        reply(452, QStringLiteral("Cannot store the file."));
    }
}

void SimFtpSession::sendMore()
{
    if (!m_data || m_sendingDone || m_transfer == Transfer_Store)
        return;
    const bool throttled = m_throttle->isActive();
    qint64 budget = throttled ? m_allowance : SendWriteAhead - m_data->bytesToWrite();
    while (budget > 0) {
        QByteArray chunk;
        if (m_transfer == Transfer_Retrieve) {
            chunk = m_file.read(qMin(budget, SendChunk));
        } else {
            chunk = m_outgoing.mid(m_outgoingPos, qMin(budget, SendChunk));
            m_outgoingPos += chunk.size();
        }
        if (chunk.isEmpty()) {
            m_sendingDone = true;
            m_data->disconnectFromHost();
            return;
        }
        m_data->write(chunk);
        budget -= chunk.size();
    }
}

void SimFtpSession::onDataBytesWritten()
{
    if (!m_throttle->isActive())
        sendMore();
}

void SimFtpSession::onThrottleTick()
{
    if (!m_data || m_stalled)
        return;
    if (m_transfer == Transfer_Store)
        storeAvailable(m_allowance);
    else
        sendMore();
}

void SimFtpSession::onDataDisconnected()
{
    if (m_transfer == Transfer_None || m_stalled)
        return;
    if (m_transfer == Transfer_Store) {
        storeAvailable(m_data->bytesAvailable());
        if (m_transfer == Transfer_None)
            return; // the write failed and was answered
        m_file.close();
        if (SimulatedController::isShowFileName(m_transferName))
            m_controller->noteShowFileStored(m_transferName);
        m_controller->trace(QStringLiteral("stored %1 (%2 bytes)")
                                .arg(m_transferName)
                                .arg(QFileInfo(m_file).size()));
        finishTransfer(226, QStringLiteral("Transfer complete."));
        return;
    }
    if (m_sendingDone)
        finishTransfer(226, QStringLiteral("Transfer complete."));
    else
        finishTransfer(426, QStringLiteral("Connection closed; transfer aborted."));
}

void SimFtpSession::onDataWaitTimeout()
{
    if (m_transfer == Transfer_None || m_transferStarted)
        return;
    finishTransfer(425, QStringLiteral("No data connection was made."));
}

void SimFtpSession::finishTransfer(int code, const QString &text)
{
    dropTransfer();
    reply(code, text);
}

void SimFtpSession::dropTransfer()
{
    m_throttle->stop();
    m_dataWait->stop();
    m_transfer = Transfer_None;
    m_transferStarted = false;
    m_dropPlanned = false;
    m_stallPlanned = false;
    m_stalled = false;
    m_outgoing.clear();
    if (m_file.isOpen())
        m_file.close();
    if (m_data) {
        m_data->disconnect(this);
        m_data->abort();
        m_data->deleteLater();
        m_data = nullptr;
    }
    if (m_passive) {
        m_passive->deleteLater();
        m_passive = nullptr;
    }
}

int SimFtpSession::openSessions()
{
    return openCount;
}

int SimFtpSession::peakSessions()
{
    return peakCount;
}

void SimFtpSession::resetPeakSessions()
{
    peakCount = openCount;
}

void SimFtpSession::countClosed()
{
    if (std::exchange(m_counted, false))
        --openCount;
}

void SimFtpSession::dropEverything()
{
    countClosed();
    dropTransfer();
    m_control->disconnect(this);
    m_control->abort();
    deleteLater();
}
