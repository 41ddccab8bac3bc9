#pragma once

#include <QString>

// An advisory lock on a file, held by one open file of one process at a time.
// The system drops it when the holder ends, so a crash leaves no stale lock.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Takes the lock without waiting; false when another holder has it.
    bool tryLock();
    void unlock();
    bool isLocked() const { return m_fd >= 0; }
    QString path() const { return m_path; }

    // Whether someone holds the lock on `path`. Takes it for an instant when
    // it is free and lets it go at once, so probing never keeps it.
    static bool isHeldElsewhere(const QString &path);

private:
    QString m_path;
    int m_fd = -1;
};
