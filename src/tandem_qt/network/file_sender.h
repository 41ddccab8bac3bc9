#pragma once

#include <QString>
#include <QtGlobal>

class QFileDevice;
class QIODevice;

// Hands a plain file's bytes to a connected, non-blocking socket with
// sendfile(2): the kernel takes them from the page cache, and nothing passes
// through our memory, however large the file. The caller drives it in steps
// from the event loop and waits for the socket to take more when a step ends
// Blocked.
//
// It works on a duplicate of the socket's descriptor, so that a notifier of
// its own can watch it while QTcpSocket watches the original; the duplicate
// is closed at the end of the file and by the destructor, before the socket
// itself may be closed (the peer sees the end of the data only when both are).
class FileSender
{
public:
    enum Status
    {
        Status_Sending, // the step's budget is used up; more can go at once
        Status_Blocked, // the socket is full; go on when it can take more
        Status_AtEnd,   // every byte is handed over; the duplicate is closed
        Status_Failed   // see errorString() and readFailed()
    };

    // Whether `device` is a plain file open for reading in binary mode.
    static bool canSend(const QIODevice *device);

    // Sends from the file's current position on.
    FileSender(QFileDevice *file, qintptr socketDescriptor);
    ~FileSender();
    FileSender(const FileSender &) = delete;
    FileSender &operator=(const FileSender &) = delete;

    // Sends at most `budget` bytes; adds what went to `sent`. The file's
    // position follows what was sent.
    Status send(qint64 budget, qint64 *sent);
    // The duplicate to watch for writability; -1 once closed.
    int descriptor() const { return m_socket; }
    // After Status_Failed: whether the file could not be read (otherwise the
    // connection is gone).
    bool readFailed() const { return m_readFailed; }
    QString errorString() const { return m_errorString; }

private:
    void closeSocket();

    QFileDevice *m_file;
    int m_fileDescriptor;
    int m_socket = -1;
    qint64 m_offset;
    bool m_readFailed = false;
    QString m_errorString;
};
