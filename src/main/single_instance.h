#pragma once

#include "file_lock.h"

#include <QLocalServer>
#include <QObject>

// One running instance per user and key. The owner holds a lock file and
// listens on a local socket beside it; a later start hands its message over
// through that socket. A socket left by a crashed owner is removed by the next
// owner, whose lock proves that nobody listens there any more.
//
// Wire format: the message as UTF-8 behind a 32-bit big-endian length; the
// owner answers one byte, 1, once messageReceived has been emitted.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Whether another process owns the key.
    bool isRunning() const;
    // Offers the message to the owner; true when it was accepted in time.
    bool sendMessage(const QString &message, int timeoutMs);
    // Makes this process the owner; false when another one is.
    bool becomeOwner();
    bool isOwner() const { return m_lock.isLocked(); }

    QString socketPath() const { return m_socketPath; }

    static constexpr qint32 MaxMessageBytes = 64 * 1024;

signals:
    void messageReceived(const QString &message);

private slots:
    void onNewConnection();

private:
    void readMessage(QLocalSocket *socket);

    QString m_socketPath;
    FileLock m_lock;
    QLocalServer m_server;
};
