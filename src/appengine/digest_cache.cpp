#include "digest_cache.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace {

constexpr qint64 ReadBlock = 1024 * 1024;
// A file that keeps changing while it is read is read at most this often.
constexpr int MaximumPasses = 3;

QByteArray md5Of(const QString &path, const std::atomic<bool> &stopping)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(ReadBlock, Qt::Uninitialized);
    while (!stopping.load()) {
        const qint64 count = file.read(block.data(), ReadBlock);
        if (count < 0)
            return QByteArray();
        if (count == 0)
            return hash.result();
        hash.addData(QByteArrayView(block.constData(), count));
    }
    return QByteArray();
}

} // namespace

DigestCache *DigestCache::instance()
{
    static QPointer<DigestCache> cache;
    if (!cache)
        cache = new DigestCache(QCoreApplication::instance());
    return cache;
}

DigestCache::DigestCache(QObject *parent)
    : QObject(parent), m_stopping(std::make_shared<std::atomic<bool>>(false)),
      m_readCount(std::make_shared<std::atomic<int>>(0))
{
    m_pool.setMaxThreadCount(MaxWorkers);
}

DigestCache::~DigestCache()
{
    m_stopping->store(true);
    m_pool.waitForDone();
}

DigestCache::Identity DigestCache::identityOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return Identity();
    return Identity{info.size(), info.lastModified().toMSecsSinceEpoch()};
}

std::optional<QByteArray> DigestCache::digest(const QString &path)
{
    if (path.isEmpty())
        return QByteArray();
    const Identity identity = identityOf(path);
    if (identity.size < 0) {
        m_entries.remove(path);
        return QByteArray();
    }
    const auto found = m_entries.constFind(path);
    if (found != m_entries.cend() && found->identity == identity)
        return found->computing ? std::nullopt : std::optional<QByteArray>(found->digest);
    m_entries.insert(path, Entry{identity, QByteArray(), true});
    start(path, identity);
    trim();
    return std::nullopt;
}

void DigestCache::start(const QString &path, const Identity &identity)
{
    const std::shared_ptr<std::atomic<bool>> stopping = m_stopping;
    const std::shared_ptr<std::atomic<int>> readCount = m_readCount;
    m_pool.start([this, path, identity, stopping, readCount] {
        // Read until the file holds still, so that the digest belongs to the
        // identity it is filed under.
        QByteArray digest;
        Identity actual;
        for (int pass = 0; pass < MaximumPasses && !stopping->load(); ++pass) {
            const Identity before = identityOf(path);
            digest = md5Of(path, *stopping);
            readCount->fetch_add(1);
            actual = identityOf(path);
            if (actual == before)
                break;
        }
        if (stopping->load())
            return;
        // The cache outlives its workers: its destructor waits for them.
        QMetaObject::invokeMethod(
            this,
            [this, path, identity, actual, digest] { onComputed(path, identity, actual, digest); },
            Qt::QueuedConnection);
    });
}

void DigestCache::onComputed(const QString &path, const Identity &requested, const Identity &actual,
                             const QByteArray &digest)
{
    const auto found = m_entries.find(path);
    // The file went away meanwhile: whoever waits asks again and learns so.
    if (found == m_entries.end()) {
        emit digestReady(path);
        return;
    }
    // A later request for a newer identity has its own worker.
    if (!found->computing || !(found->identity == requested))
        return;
    found->identity = actual;
    found->digest = digest;
    found->computing = false;
    emit digestReady(path);
}

void DigestCache::trim()
{
    if (m_entries.size() <= MaximumEntries)
        return;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->computing)
            ++it;
        else
            it = m_entries.erase(it);
    }
}
