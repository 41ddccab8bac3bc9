#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>

// The MD5 digests of local files, computed by worker threads and kept per
// file identity (path, size, modification time), so that a file shared by
// many controllers is read once per change and never on the GUI thread.
//
//   digest(path): known for the file's current identity -> the digest
//                 not known -> a worker starts (once per identity), nothing
//                 now, digestReady(path) later; ask again then.
class DigestCache : public QObject
{
    Q_OBJECT

public:
    // Files are read this many at a time: reading is bound by the disk.
    static constexpr int MaxWorkers = 2;
    // Completed entries are dropped beyond this many files.
    static constexpr int MaximumEntries = 8192;

    // The process-wide cache, created on first use and owned by the
    // application's QCoreApplication.
    static DigestCache *instance();

    explicit DigestCache(QObject *parent = nullptr);
    // Stops the workers and waits for them.
    ~DigestCache() override;

    // The digest of the file as it is now: empty when the path is empty or
    // the file cannot be read; nothing while it is being computed.
    std::optional<QByteArray> digest(const QString &path);
    // How many times a file has been read through, for tests and benchmarks.
    int readCount() const { return m_readCount->load(); }

signals:
    void digestReady(const QString &path);

private:
    struct Identity
    {
        qint64 size = -1;
        qint64 modified = 0; // milliseconds since the epoch

        bool operator==(const Identity &other) const = default;
    };
    struct Entry
    {
        Identity identity;
        QByteArray digest;
        bool computing = false;
    };

    static Identity identityOf(const QString &path);
    void start(const QString &path, const Identity &identity);
    void onComputed(const QString &path, const Identity &requested, const Identity &actual,
                    const QByteArray &digest);
    void trim();

    QHash<QString, Entry> m_entries;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_stopping;
    std::shared_ptr<std::atomic<int>> m_readCount;
};
