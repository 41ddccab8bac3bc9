#include "smtp.h"

#include "local_interfaces.h"
#include "lum_application.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <utility>

namespace {
// A reply line holds at most 512 characters (RFC 5321); anything far beyond
// that is not a mail server talking, and is not buffered without bound.
constexpr int MaxReplyLineLength = 4096;
constexpr int MaxReplyLines = 256;
constexpr qint64 MaxBufferedReply = 64 * 1024;

uint nextMessageNumber = 0;

void logSmtp(const QString &message, int level, bool escape = false)
{
    LumApplication::log(Category_Smtp, message, level, escape);
}

// Header values and envelope addresses stay on their line: a line break
// inside one would start a header or a command of its own.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool isSafeAddress(const QString &address)
{
    static const QRegularExpression unsafe(QStringLiteral("[\\r\\n<>]"));
    return !address.isEmpty() && !address.contains(unsafe);
}

bool isTlsError(QAbstractSocket::SocketError error)
{
    return error == QAbstractSocket::SslHandshakeFailedError ||
           error == QAbstractSocket::SslInternalError ||
           error == QAbstractSocket::SslInvalidUserDataError;
}

QString timedOutText()
{
    // The socket's own wording for an operation that took too long.
    return QCoreApplication::translate("QAbstractSocket", "Socket operation timed out");
}
} // namespace

Smtp::Smtp(QObject *parent)
    : QObject(parent), m_connectTimer(new QTimer(this)), m_replyTimer(new QTimer(this))
{
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(DefaultConnectTimeout);
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setInterval(DefaultReplyTimeout);
    connect(m_connectTimer, &QTimer::timeout, this, &Smtp::onConnectTimeout);
    connect(m_replyTimer, &QTimer::timeout, this, &Smtp::onReplyTimeout);
}

Smtp::~Smtp()
{
    // The socket is a child and goes with us; nothing it says on the way out
    // may reach a half-destroyed client.
    if (m_socket)
        m_socket->disconnect(this);
}

void Smtp::addRecipient(const QString &address)
{
    m_recipients.append({address, false});
}

void Smtp::setFrom(const QString &from)
{
    m_from = oneLine(from);
}

void Smtp::setSubject(const QString &subject)
{
    m_subject = oneLine(subject);
}

void Smtp::setBody(const QString &body)
{
    m_body = body;
}

void Smtp::setConnectTimeout(int milliseconds)
{
    m_connectTimer->setInterval(milliseconds);
}

void Smtp::setReplyTimeout(int milliseconds)
{
    m_replyTimer->setInterval(milliseconds);
}

void Smtp::setCaCertificates(const QList<QSslCertificate> &certificates)
{
    m_caCertificates = certificates;
}

void Smtp::send(const QString &hostname, uint port)
{
    discardSocket();
    m_state = State_Idle;
    if (m_recipients.isEmpty()) {
        logSmtp(tr("Cannot send mail: no recipients defined"), 0);
        finish(false);
        return;
    }
    if (port == 0 || port > 65535) {
        abandon(tr("Invalid port %1").arg(port));
        return;
    }
    for (const Recipient &recipient : std::as_const(m_recipients)) {
        if (!isSafeAddress(recipient.address)) {
            abandon(tr("Invalid recipient address \"%1\"").arg(oneLine(recipient.address)));
            return;
        }
    }

    m_message = buildMessage();
    for (Recipient &recipient : m_recipients)
        recipient.accepted = false;
    m_nextRecipient = 0;
    m_success = false;
    m_mechanism = Mechanism_None;
    m_loginAnswers = 0;
    m_capabilities.clear();
    m_replyLines.clear();

    m_hostname = hostname;
    m_port = port;
    m_tlsErrors.clear();
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(MaxBufferedReply);
    if (!m_caCertificates.isEmpty()) {
        QSslConfiguration configuration = m_socket->sslConfiguration();
        configuration.setCaCertificates(m_caCertificates);
        m_socket->setSslConfiguration(configuration);
    }
    connect(m_socket, &QAbstractSocket::stateChanged, this, &Smtp::stateChanged);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &Smtp::errorReceived);
    connect(m_socket, &QAbstractSocket::disconnected, this, &Smtp::disconnected);
    connect(m_socket, &QAbstractSocket::connected, this, &Smtp::connected);
    connect(m_socket, &QIODevice::readyRead, this, &Smtp::readyRead);
    connect(m_socket, &QSslSocket::encrypted, this, &Smtp::onEncrypted);
    connect(m_socket, &QSslSocket::sslErrors, this, &Smtp::onSslErrors);

    // Connecting does not hold up the event loop: uploads go on meanwhile.
    m_state = State_Connecting;
    m_connectTimer->start();
    // The certificate is checked against the host name as given here.
    if (port == m_implicitTlsPort)
        m_socket->connectToHostEncrypted(hostname, quint16(port));
    else
        m_socket->connectToHost(hostname, quint16(port));
}

QString Smtp::buildMessage() const
{
    QStringList addresses;
    for (const Recipient &recipient : m_recipients)
        addresses.append(recipient.address);

    QStringList lines;
    lines.append(QStringLiteral("To: ") + addresses.join(QLatin1Char(',')));
    if (!m_from.isEmpty())
        lines.append(QStringLiteral("From: ") + m_from);
    lines.append(QStringLiteral("Subject: ") + m_subject);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    lines.append(QStringLiteral("Date: ") +
                 QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")) +
                 QStringLiteral(" UT"));
    lines.append(QStringLiteral("Message-ID: <%1.%2@%3>")
                     .arg(nextMessageNumber++, 8, 16, QLatin1Char('0'))
                     .arg(now.toSecsSinceEpoch(), 8, 16, QLatin1Char('0'))
                     .arg(QHostInfo::localHostName()));
    lines.append(QString());
    QString body = m_body;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.append(body);

    QString message = lines.join(QLatin1Char('\n'));
    message.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // The server drops the first dot of every line that starts with one, so
    // every such line gets one more; a lone dot would otherwise end the data.
    message.replace(QLatin1String("\r\n."), QLatin1String("\r\n.."));
    return message;
}

void Smtp::discardSocket()
{
    m_connectTimer->stop();
    m_replyTimer->stop();
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    // We may be inside one of its signals.
    m_socket->deleteLater();
    m_socket = nullptr;
}

void Smtp::stateChanged(QAbstractSocket::SocketState socketState)
{
    logSmtp(QStringLiteral("SMTP state %1").arg(int(socketState)), 2);
}

void Smtp::errorReceived(QAbstractSocket::SocketError socketError)
{
    logSmtp(QStringLiteral("SMTP error %1").arg(int(socketError)), 2);
    QString reason = m_socket->errorString();
    // A TLS failure names the server: the operator must see which one
    // presented what, and that nothing was sent in its place.
    if (isTlsError(socketError) || !m_tlsErrors.isEmpty() || m_state == State_TlsHandshake)
        reason = tr("the connection to %1 could not be secured: %2")
                     .arg(serverName(), m_tlsErrors.isEmpty() ? reason : m_tlsErrors);
    if (m_state == State_Connecting)
        abandon(reason);
    else if (isOpen())
        afterConnectionLoss(reason);
}

void Smtp::onSslErrors(const QList<QSslError> &errors)
{
    // Not ignored: the socket fails the handshake right after this.
    QStringList texts;
    for (const QSslError &error : errors)
        texts.append(error.errorString());
    m_tlsErrors = texts.join(QStringLiteral("; "));
}

void Smtp::onEncrypted()
{
    logSmtp(QStringLiteral("Encrypted connection to %1").arg(serverName()), 2);
    if (m_state != State_TlsHandshake)
        return;
    m_connectTimer->stop();
    // What the server said before TLS counts no longer (RFC 3207): greet again.
    m_capabilities.clear();
    m_state = State_Ehlo;
    sendCommand(QStringLiteral("EHLO %1\r\n").arg(LocalInterfaces::firstAddress()));
}

QString Smtp::serverName() const
{
    return QStringLiteral("%1:%2").arg(m_hostname).arg(m_port);
}

void Smtp::disconnected()
{
    if (isOpen())
        afterConnectionLoss(tr("The server closed the connection"));
}

void Smtp::connected()
{
    if (m_state != State_Connecting)
        return;
    logSmtp(tr("Sending alert mail"), 1);
    // The connect limit runs on until the server has greeted us.
    m_state = State_Greeting;
}

void Smtp::afterConnectionLoss(const QString &reason)
{
    // Whatever arrived before the connection went still counts.
    readyRead();
    if (m_state == State_Quit)
        finish(m_success);
    else if (isOpen())
        abandon(reason);
}

void Smtp::readyRead()
{
    // During the TLS handshake the bytes are the handshake's own.
    while (m_socket && isOpen() && m_state != State_TlsHandshake && m_socket->canReadLine()) {
        const QByteArray raw = m_socket->readLine(MaxReplyLineLength);
        const QString line = QString::fromUtf8(raw);
        logSmtp(QStringLiteral("Rcvd: %1").arg(line), 2, true);
        if (!raw.endsWith('\n') || m_replyLines.size() >= MaxReplyLines) {
            abandon(tr("The server's reply is too long"));
            return;
        }
        QString text = line;
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        m_replyLines.append(text);
        if (m_state != State_Greeting)
            m_replyTimer->start();
        // "250-..." continues a reply; the last line has no dash.
        if (text.size() >= 4 && text.at(3) == QLatin1Char('-'))
            continue;
        m_replyTimer->stop();
        handleReply(std::exchange(m_replyLines, {}));
    }
    if (m_socket && isOpen() && !m_socket->canReadLine() &&
        m_socket->bytesAvailable() >= MaxBufferedReply)
        abandon(tr("The server's reply is too long"));
}

void Smtp::handleReply(const QStringList &lines)
{
    const QString &last = lines.last();
    bool isNumber = false;
    int code = last.left(3).toInt(&isNumber);
    if (!isNumber)
        code = 0;

    switch (m_state) {
    case State_Greeting:
        m_connectTimer->stop();
        if (code != 220)
            return fail(last);
        m_state = State_Ehlo;
        return sendCommand(QStringLiteral("EHLO %1\r\n").arg(LocalInterfaces::firstAddress()));
    case State_Ehlo:
        if (code == 250)
            return handleEhloReply(lines);
        if (code != 500)
            return fail(last);
        m_state = State_Helo;
        return sendCommand(QStringLiteral("HELO %1\r\n").arg(LocalInterfaces::firstAddress()));
    case State_Helo:
        if (code != 250)
            return fail(last);
        return sendMailFrom();
    case State_Authenticating:
        if (code == 235)
            return sendMailFrom();
        if (code == 334)
            return handleChallenge(last);
        return fail(last);
    case State_MailFrom:
        if (code != 250)
            return fail(last);
        m_nextRecipient = 0;
        return sendNextRecipient();
    case State_StartTls:
        if (code != 220) {
            logSmtp(tr("Failed to send alert mail: %1 refused to start TLS: %2")
                        .arg(serverName(), last.simplified()),
                    0);
            return quit();
        }
        return startHandshake();
    case State_TlsHandshake:
        return;
    case State_RcptTo:
        return handleRecipientReply(code);
    case State_Data:
        if (code != 354)
            return fail(last);
        m_state = State_Message;
        return sendMessageData();
    case State_Message:
        if (code != 250)
            return fail(last);
        m_success = true;
        logDelivery();
        return quit();
    case State_Quit:
        return finish(m_success);
    case State_Idle:
    case State_Connecting:
    case State_Finished:
        return;
    }
}

void Smtp::handleEhloReply(const QStringList &lines)
{
    m_capabilities.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.size() < 5)
            continue;
        const QStringList words =
            line.mid(4).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty())
            m_capabilities.insert(words.first().toUpper(), words.mid(1));
    }
    if (!m_socket->isEncrypted() && m_capabilities.contains(QStringLiteral("STARTTLS"))) {
        m_state = State_StartTls;
        return sendCommand(QStringLiteral("STARTTLS\r\n"));
    }
    if (m_capabilities.contains(QStringLiteral("AUTH")))
        authenticate(m_capabilities.value(QStringLiteral("AUTH")));
    else
        sendMailFrom();
}

void Smtp::startHandshake()
{
    // Anything the server sent after its 220 came before TLS and is dropped
    // rather than read as if it had been protected.
    m_socket->readAll();
    // The handshake is part of connecting, and has as long.
    m_state = State_TlsHandshake;
    m_connectTimer->start();
    m_socket->startClientEncryption();
}

void Smtp::warnOfPlainLogin()
{
    if (!m_socket->isEncrypted())
        logSmtp(tr("Logging in to %1 without encryption: the server does not offer STARTTLS")
                    .arg(serverName()),
                0);
}

void Smtp::authenticate(const QStringList &mechanisms)
{
    if (!m_credentials)
        m_credentials = std::make_unique<SmtpAuthenicator>();
    if (!m_credentials->isComplete()) {
        emit authenticationRequired(m_credentials.get());
        if (!isOpen())
            return;
    }
    if (!m_credentials->isComplete()) {
        logSmtp(tr("No authentication credentials - try sending mail anyway"), 1);
        return sendMailFrom();
    }

    if (mechanisms.contains(QStringLiteral("CRAM-MD5"))) {
        warnOfPlainLogin();
        m_mechanism = Mechanism_CramMd5;
        m_state = State_Authenticating;
        sendCommand(QStringLiteral("AUTH CRAM-MD5\r\n"));
    } else if (mechanisms.contains(QStringLiteral("LOGIN"))) {
        warnOfPlainLogin();
        m_mechanism = Mechanism_Login;
        m_loginAnswers = 0;
        m_state = State_Authenticating;
        sendCommand(QStringLiteral("AUTH LOGIN\r\n"));
    } else {
        sendMailFrom();
    }
}

void Smtp::handleChallenge(const QString &lastLine)
{
    const QByteArray challenge = QByteArray::fromBase64(lastLine.mid(4).simplified().toLatin1());
    if (m_mechanism == Mechanism_CramMd5) {
        const QByteArray answer = m_credentials->cramMd5Response(challenge).toBase64();
        return sendCommand(QString::fromLatin1(answer) + QStringLiteral("\r\n"));
    }
    // LOGIN asks for the user name, then the password. The usual prompts are
    // "Username:" and "Password:", but servers word them as they like.
    if (m_mechanism != Mechanism_Login || m_loginAnswers >= 2)
        return fail(lastLine);
    const QString prompt = QString::fromUtf8(challenge);
    const bool wantsUsername = prompt == QLatin1String("Username:") ||
                               (prompt != QLatin1String("Password:") && m_loginAnswers == 0);
    ++m_loginAnswers;
    if (wantsUsername) {
        const QByteArray answer = m_credentials->username().toUtf8().toBase64();
        return sendCommand(QString::fromLatin1(answer) + QStringLiteral("\r\n"));
    }
    // base64 hides nothing: the password stays out of the log.
    const QByteArray answer = m_credentials->password().toUtf8().toBase64();
    sendCommand(QString::fromLatin1(answer) + QStringLiteral("\r\n"),
                QStringLiteral("********\r\n"));
}

QString Smtp::envelopeSender() const
{
    // "\"Name\" <address>" or a bare address; "<>" is the null sender.
    static const QRegularExpression angleAddress(QStringLiteral("<([^<>]*)>\\s*$"));
    const QRegularExpressionMatch match = angleAddress.match(m_from);
    if (match.hasMatch())
        return match.captured(1).trimmed();
    const QString bare = m_from.trimmed();
    if (bare.contains(QLatin1Char('@')) && !bare.contains(QLatin1Char(' ')))
        return bare;
    return QString();
}

void Smtp::sendMailFrom()
{
    m_state = State_MailFrom;
    sendCommand(QStringLiteral("MAIL FROM:<%1>\r\n").arg(envelopeSender()));
}

void Smtp::sendNextRecipient()
{
    m_state = State_RcptTo;
    const QString &address = m_recipients.at(m_nextRecipient).address;
    ++m_nextRecipient;
    sendCommand(QStringLiteral("RCPT TO:<%1>\r\n").arg(address));
}

void Smtp::handleRecipientReply(int code)
{
    Recipient &recipient = m_recipients[m_nextRecipient - 1];
    recipient.accepted = code == 250 || code == 251;
    const bool more = m_nextRecipient < m_recipients.size();
    if (recipient.accepted && more)
        return sendNextRecipient();
    if (recipient.accepted) {
        m_state = State_Data;
        return sendCommand(QStringLiteral("DATA\r\n"));
    }
    if (code == 550 && more)
        return sendNextRecipient();
    logSmtp(tr("No valid recipients"), 0);
    quit();
}

void Smtp::sendMessageData()
{
    QString data = m_message;
    if (!data.endsWith(QLatin1String("\r\n")))
        data += QLatin1String("\r\n");
    data += QLatin1String(".\r\n");
    sendCommand(data);
}

void Smtp::logDelivery()
{
    QStringList accepted;
    QStringList refused;
    for (const Recipient &recipient : std::as_const(m_recipients))
        (recipient.accepted ? accepted : refused).append(recipient.address);
    QString text = tr("Sent mail to %1").arg(accepted.join(QStringLiteral(", ")));
    if (!refused.isEmpty())
        text += tr(", failed to send to %1").arg(refused.join(QStringLiteral(", ")));
    logSmtp(text, 0);
}

void Smtp::sendCommand(const QString &text)
{
    sendCommand(text, text);
}

void Smtp::sendCommand(const QString &text, const QString &shownInLog)
{
    logSmtp(QStringLiteral("Sent: %1").arg(shownInLog), 2, true);
    m_socket->write(text.toUtf8());
    m_socket->flush();
    m_replyTimer->start();
}

void Smtp::fail(const QString &lastLine)
{
    logSmtp(lastLine.simplified(), 0);
    quit();
}

void Smtp::quit()
{
    m_state = State_Quit;
    sendCommand(QStringLiteral("QUIT\r\n"));
}

void Smtp::onConnectTimeout()
{
    if (m_state == State_Connecting || m_state == State_Greeting)
        abandon(timedOutText());
    else if (m_state == State_TlsHandshake)
        abandon(
            tr("the connection to %1 could not be secured: %2").arg(serverName(), timedOutText()));
}

void Smtp::onReplyTimeout()
{
    // A server that took the message but never answers QUIT has still taken it.
    if (m_state == State_Quit)
        finish(m_success);
    else if (isOpen())
        abandon(timedOutText());
}

void Smtp::abandon(const QString &reason)
{
    if (m_state == State_Finished)
        return;
    logSmtp(tr("Failed to send alert mail: %1").arg(reason), 0);
    finish(false, true);
}

void Smtp::finish(bool delivered, bool dropConnection)
{
    if (m_state == State_Finished)
        return;
    m_connectTimer->stop();
    m_replyTimer->stop();
    const bool wasOpen = isOpen();
    // Set first: the socket reports its closing to our slots right away.
    m_state = State_Finished;
    if (m_socket && dropConnection)
        m_socket->abort();
    else if (m_socket && wasOpen)
        m_socket->disconnectFromHost();
    emit sent(delivered);
}
