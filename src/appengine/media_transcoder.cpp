#include "media_transcoder.h"

#include "file_lock.h"
#include "lum_application.h"
#include "lum_assert.h"
#include "media_libraries.h"
#include "transcode_thread.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
MediaTranscoder *theInstance = nullptr;
// Numbers output files for the whole run; never reset, so names stay unique.
quint32 outputCounter = 0;

const QString TranscodedFolderName = QStringLiteral("transcoded");
const QString FolderLockName = QStringLiteral("transcoded.lock");

QString typeText(MediaType type)
{
    return type == MediaType_Video ? QStringLiteral("Video") : QStringLiteral("Audio");
}

QString resultText(TranscodeResult result)
{
    switch (result) {
    case TranscodeResult_Succeeded:
        return QStringLiteral("succeeded");
    case TranscodeResult_Cancelled:
        return QStringLiteral("cancelled");
    default:
        return QStringLiteral("failed");
    }
}
} // namespace

MediaTranscoder *MediaTranscoder::create(QObject *parent)
{
    MediaLibraries::initialise();
    delete theInstance;
    theInstance = new MediaTranscoder(parent);
    return theInstance;
}

MediaTranscoder *MediaTranscoder::instance()
{
    return theInstance;
}

MediaTranscoder::MediaTranscoder(QObject *parent) : QObject(parent)
{
    prepareFolder();
}

MediaTranscoder::~MediaTranscoder()
{
    // Both workers are told first, so they stop side by side.
    for (TranscodeThread *thread : std::as_const(m_running)) {
        disconnect(thread, nullptr, this, nullptr);
        thread->cancel();
    }
    for (TranscodeThread *thread : std::as_const(m_running)) {
        thread->wait();
        delete thread;
    }
    m_running.clear();
    qDeleteAll(m_waiting);
    m_waiting.clear();
    if (m_ownFolder) {
        m_ownFolder.reset(); // removed with its files
    } else if (m_folderUsable) {
        removeFiles();
        QDir parent = m_folder;
        if (parent.cdUp())
            parent.rmdir(TranscodedFolderName);
    }
    m_folderLock.reset();
    if (theInstance == this)
        theInstance = nullptr;
}

void MediaTranscoder::prepareFolder()
{
    m_folder = QDir::current();
    m_folderUsable = false;
    const QString dataPath = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (dataPath.isEmpty() || !QDir().mkpath(dataPath))
        return;
    const QDir data(dataPath);
    m_folderLock = std::make_unique<FileLock>(data.filePath(FolderLockName));
    if (!m_folderLock->tryLock()) {
        // Another process converts into the shared folder and would have its
        // results emptied away.
        m_folderLock.reset();
        m_ownFolder = std::make_unique<QTemporaryDir>(
            data.filePath(TranscodedFolderName + QLatin1String("-XXXXXX")));
        if (!m_ownFolder->isValid()) {
            m_ownFolder.reset();
            return;
        }
        m_folder = QDir(m_ownFolder->path());
        m_folderUsable = true;
    } else if (data.exists(TranscodedFolderName)) {
        m_folder = QDir(data.filePath(TranscodedFolderName));
        m_folderUsable = true;
        removeFiles(); // left behind by a run that did not end cleanly
    } else if (data.mkdir(TranscodedFolderName)) {
        m_folder = QDir(data.filePath(TranscodedFolderName));
        m_folderUsable = true;
    }
}

void MediaTranscoder::removeFiles()
{
    const QStringList files = m_folder.entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden);
    for (const QString &file : files)
        m_folder.remove(file);
}

QString MediaTranscoder::nextOutputPath()
{
    QString name;
    do {
        name = QStringLiteral("transcoded%1").arg(outputCounter++);
    } while (m_folder.exists(name));
    return m_folder.absoluteFilePath(name);
}

void MediaTranscoder::transcode(const QString &sourcePath, MediaType type)
{
    if (!QFileInfo::exists(sourcePath))
        return;
    const Key key{sourcePath, type};
    if (m_lookup.contains(key))
        return; // converting or converted; a failed one has no entry
    const QString outputPath = nextOutputPath();
    m_lookup.insert(key, Entry{outputPath, State_TRANSCODING});
    auto *thread = new TranscodeThread(sourcePath, outputPath, type, this);
    if (m_running.size() >= MaxRunning)
        m_waiting.append(thread);
    else
        start(thread);
}

void MediaTranscoder::start(TranscodeThread *thread)
{
    LumApplication::log(Category_Media,
                        QStringLiteral("Transcoding %1 (%2)")
                            .arg(thread->sourcePath(), typeText(thread->mediaType())),
                        0, false);
    connect(thread, &QThread::finished, this, &MediaTranscoder::onTranscodeComplete,
            Qt::QueuedConnection);
    m_running.insert(thread);
    thread->start(QThread::LowPriority);
}

MediaTranscoder::State MediaTranscoder::state(const QString &sourcePath, MediaType type) const
{
    const auto it = m_lookup.constFind(Key{sourcePath, type});
    if (it == m_lookup.cend())
        return State_UNKNOWN;
    return it->status == State_COMPLETE ? State_COMPLETE : State_TRANSCODING;
}

QString MediaTranscoder::transcodedFile(const QString &sourcePath, MediaType type) const
{
    const auto it = m_lookup.constFind(Key{sourcePath, type});
    if (it == m_lookup.cend() || it->status != State_COMPLETE)
        return QString();
    return it->outputPath;
}

void MediaTranscoder::onTranscodeComplete()
{
    auto *thread = qobject_cast<TranscodeThread *>(sender());
    LUM_ASSERT(thread != NULL);
    const QString sourcePath = thread->sourcePath();
    const MediaType type = thread->mediaType();
    LumApplication::log(Category_Media,
                        QStringLiteral("Transcoding %1 (%2) %3")
                            .arg(sourcePath, typeText(type), resultText(thread->result())),
                        0, false);

    State state = State_FAILED;
    QMap<Key, Entry> &lookup = m_lookup;
    const auto iLookup = lookup.find(Key{sourcePath, type});
    if (thread->result() == TranscodeResult_Succeeded) {
        LUM_ASSERT(iLookup != lookup.end());
        iLookup->status = State_COMPLETE;
        state = State_COMPLETE;
    } else if (iLookup != lookup.end()) {
        lookup.erase(iLookup);
    }
    emit transcodeComplete(sourcePath, type, state);

    thread->deleteLater();
    m_running.remove(thread);
    if (!m_waiting.isEmpty())
        start(m_waiting.takeFirst());
}
