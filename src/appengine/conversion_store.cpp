#include "conversion_store.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <map>

#include <cstdio>
#include <sys/stat.h>

namespace {

const QString PartMarker = QStringLiteral(".part-");
constexpr qint64 SupersededAfterSecs = 3600;
constexpr qint64 UnusedAfterSecs = 30 * 24 * 3600;
constexpr qint64 AbandonedPartAfterSecs = 24 * 3600;

QString typeSuffix(MediaType type)
{
    return type == MediaType_Video ? QStringLiteral(".video") : QStringLiteral(".audio");
}

QString shortHash(const QByteArray &bytes)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(20));
}

bool isKeptName(const QString &name)
{
    return !name.contains(PartMarker) &&
           (name.endsWith(QLatin1String(".video")) || name.endsWith(QLatin1String(".audio")));
}

} // namespace

QString ConversionStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QLatin1String("/conversions");
}

ConversionStore::ConversionStore(const QString &folder)
{
    m_usable = !folder.isEmpty() && QDir().mkpath(folder);
    m_folder = m_usable ? QDir(folder) : QDir::current();
}

QString ConversionStore::keptPath(const QString &sourcePath, MediaType type) const
{
    struct stat status;
    const QByteArray local = QFile::encodeName(sourcePath);
    if (sourcePath.isEmpty() || ::stat(local.constData(), &status) != 0 || S_ISDIR(status.st_mode))
        return QString();
    const QString absolute = QFileInfo(sourcePath).absoluteFilePath();
    const QByteArray source = absolute.toUtf8() + '\n' + QByteArray::number(int(type)) + '\n' +
                              QByteArray::number(ConverterVersion);
    const QByteArray identity = QByteArray::number(qint64(status.st_size)) + '\n' +
                                QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.' +
                                QByteArray::number(qint64(status.st_mtim.tv_nsec)) + '\n' +
                                QByteArray::number(quint64(status.st_dev)) + ':' +
                                QByteArray::number(quint64(status.st_ino));
    return m_folder.absoluteFilePath(shortHash(source) + QLatin1Char('-') + shortHash(identity) +
                                     typeSuffix(type));
}

QString ConversionStore::partPath(const QString &keptPath) const
{
    static std::atomic<quint32> counter = 0;
    return keptPath + PartMarker + QString::number(QCoreApplication::applicationPid()) +
           QLatin1Char('-') + QString::number(counter++);
}

bool ConversionStore::commit(const QString &partPath, const QString &keptPath) const
{
    // rename() replaces the target in one step; QFile::rename would refuse it.
    return std::rename(QFile::encodeName(partPath).constData(),
                       QFile::encodeName(keptPath).constData()) == 0;
}

void ConversionStore::renew(const QString &keptPath) const
{
    QFile file(keptPath);
    if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

void ConversionStore::removeStale() const
{
    if (!m_usable)
        return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QFileInfoList files = m_folder.entryInfoList(QDir::Files | QDir::Hidden);
    // The last use of each source's newest version, by the source half of the name.
    std::map<QString, qint64> newest;
    for (const QFileInfo &file : files) {
        if (isKeptName(file.fileName())) {
            qint64 &latest = newest[file.fileName().section(QLatin1Char('-'), 0, 0)];
            latest = qMax(latest, file.lastModified().toSecsSinceEpoch());
        }
    }
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        const qint64 used = file.lastModified().toSecsSinceEpoch();
        bool stale = false;
        if (name.contains(PartMarker)) {
            stale = now - used > AbandonedPartAfterSecs;
        } else if (isKeptName(name)) {
            const bool superseded = used < newest[name.section(QLatin1Char('-'), 0, 0)];
            stale =
                now - used > UnusedAfterSecs || (superseded && now - used > SupersededAfterSecs);
        }
        if (stale)
            QFile::remove(m_folder.filePath(name));
    }
}

int ConversionStore::removeAll() const
{
    int removed = 0;
    if (!m_usable)
        return removed;
    for (const QString &name : m_folder.entryList(QDir::Files | QDir::Hidden)) {
        if (isKeptName(name) && QFile::remove(m_folder.filePath(name)))
            ++removed;
    }
    return removed;
}

ConversionStore::Usage ConversionStore::usage() const
{
    Usage usage;
    if (!m_usable)
        return usage;
    for (const QFileInfo &file : m_folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!isKeptName(file.fileName()))
            continue;
        ++usage.files;
        usage.bytes += file.size();
    }
    return usage;
}
