#include "file_sender.h"

#include <QFileDevice>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int UnsentLimit = 64 * 1024;

// sendfile(2) has no MSG_NOSIGNAL: a peer that has gone would raise SIGPIPE
// and end the process unless something ignores it (Qt's socket engine does
// today, but says so nowhere). The signal is held back on this thread for the
// call, and one it raised is taken away again before it is let through.
class BrokenPipeGuard
{
public:
    BrokenPipeGuard()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~BrokenPipeGuard()
    {
        if (m_raised && !m_wasPending) {
            const timespec none{};
            while (sigtimedwait(&m_pipe, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    BrokenPipeGuard(const BrokenPipeGuard &) = delete;
    BrokenPipeGuard &operator=(const BrokenPipeGuard &) = delete;

    void noteRaised() { m_raised = true; }

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
    bool m_raised = false;
};

bool isConnectionError(int error)
{
    switch (error) {
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
        return true;
    default:
        return false;
    }
}

} // namespace

bool FileSender::canSend(const QIODevice *device)
{
    const auto *file = qobject_cast<const QFileDevice *>(device);
    if (!file || !file->isReadable() || file->isSequential() || file->isTextModeEnabled())
        return false;
    // A file in the resources or another engine has no descriptor.
    const int descriptor = file->handle();
    struct stat status;
    return descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

FileSender::FileSender(QFileDevice *file, qintptr socketDescriptor)
    : m_file(file), m_fileDescriptor(file->handle()), m_offset(file->pos())
{
    // What the caller wrote and Qt still holds must be in the file for the kernel.
    if (file->isWritable())
        file->flush();
    m_socket = fcntl(int(socketDescriptor), F_DUPFD_CLOEXEC, 0);
    if (m_socket < 0) {
        m_readFailed = true; // nothing can be sent, though the connection is fine
        m_errorString = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    // Bytes queued beyond what the peer's window takes are sent later by the
    // kernel while it handles the peer's acknowledgements; with a peer on this
    // machine that is the receiver's time, and it falls behind. A short queue
    // leaves the sending to our own calls. Advisory: without it, only slower.
    const int unsentLimit = UnsentLimit;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &unsentLimit, sizeof unsentLimit);
}

FileSender::~FileSender()
{
    closeSocket();
}

FileSender::Status FileSender::send(qint64 budget, qint64 *sent)
{
    if (m_socket < 0)
        return m_errorString.isEmpty() ? Status_AtEnd : Status_Failed;
    const qint64 start = m_offset;
    Status status = Status_Sending;
    {
        BrokenPipeGuard guard;
        while (m_offset - start < budget) {
            off_t offset = m_offset;
            const ssize_t count =
                sendfile(m_socket, m_fileDescriptor, &offset, size_t(budget - (m_offset - start)));
            if (count > 0) {
                m_offset = offset;
                continue;
            }
            if (count == 0) {
                status = Status_AtEnd;
                break;
            }
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                status = Status_Blocked;
                break;
            }
            if (error == EPIPE)
                guard.noteRaised();
            m_readFailed = !isConnectionError(error);
            m_errorString = QString::fromLocal8Bit(std::strerror(error));
            status = Status_Failed;
            break;
        }
    }
    *sent += m_offset - start;
    if (m_offset != start)
        m_file->seek(m_offset);
    if (status == Status_AtEnd || status == Status_Failed)
        closeSocket();
    return status;
}

void FileSender::closeSocket()
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}
