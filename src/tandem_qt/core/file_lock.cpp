#include "file_lock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Opened for writing where allowed (NFS emulates flock with locks that need
// it), else for reading, which is all a local lock needs: a holder's
// read-only file is still taken and probed like any other.
int openLockFile(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | flags, 0600);
    if (fd >= 0 || (errno != EACCES && errno != EROFS && errno != EPERM))
        return fd;
    return ::open(name.constData(), O_RDONLY | O_CLOEXEC | flags, 0600);
}

bool lockWithoutWaiting(int fd)
{
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
} // namespace

FileLock::FileLock(const QString &path) : m_path(path)
{}

FileLock::~FileLock()
{
    unlock();
}

bool FileLock::tryLock()
{
    if (isLocked())
        return true;
    const int fd = openLockFile(m_path, O_CREAT);
    if (fd < 0)
        return false;
    if (!lockWithoutWaiting(fd)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void FileLock::unlock()
{
    if (m_fd >= 0) {
        ::close(m_fd); // closing the only descriptor releases the lock
        m_fd = -1;
    }
}

bool FileLock::isHeldElsewhere(const QString &path)
{
    const int fd = openLockFile(path, 0);
    if (fd < 0)
        return false; // no lock file: nobody has ever held it
    const bool free = lockWithoutWaiting(fd);
    ::close(fd);
    return !free;
}
