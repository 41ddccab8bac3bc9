#include "single_instance.h"

#include "runtime_dir.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>

namespace {
constexpr char acceptedReply = 1;
constexpr int lengthBytes = 4;
} // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent), m_socketPath(RuntimeDir::path() + QLatin1Char('/') + key),
      m_lock(m_socketPath + QLatin1String(".lock"))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

bool SingleInstance::isRunning() const
{
    return !isOwner() && FileLock::isHeldElsewhere(m_lock.path());
}

bool SingleInstance::sendMessage(const QString &message, int timeoutMs)
{
    if (isOwner())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;

    const QByteArray text = message.toUtf8();
    char length[lengthBytes];
    qToBigEndian<qint32>(qint32(text.size()), length);
    socket.write(length, lengthBytes);
    socket.write(text);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char reply = 0;
    return socket.getChar(&reply) && reply == acceptedReply;
}

bool SingleInstance::becomeOwner()
{
    if (isOwner())
        return true;
    if (!m_lock.tryLock())
        return false;
    QLocalServer::removeServer(m_socketPath); // left behind by an owner that crashed
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_socketPath)) {
        m_lock.unlock();
        return false;
    }
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    if (socket->bytesAvailable() < lengthBytes)
        return;
    char length[lengthBytes];
    socket->peek(length, lengthBytes);
    const qint32 size = qFromBigEndian<qint32>(length);
    if (size < 0 || size > MaxMessageBytes) {
        socket->abort(); // not one of ours
        return;
    }
    if (socket->bytesAvailable() < lengthBytes + size)
        return;
    socket->skip(lengthBytes);
    const QString message = QString::fromUtf8(socket->read(size));
    socket->disconnect(this);
    emit messageReceived(message);
    socket->putChar(acceptedReply);
    socket->flush();
    socket->disconnectFromServer();
}
