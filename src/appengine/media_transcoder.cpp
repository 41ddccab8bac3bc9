#include "media_transcoder.h"

#include "lum_application.h"
#include "lum_assert.h"
#include "media_libraries.h"
#include "transcode_thread.h"

#include <QFile>
#include <QFileInfo>

namespace {
MediaTranscoder *theInstance = nullptr;

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

void logMedia(const QString &message)
{
    LumApplication::log(Category_Media, message, 0, false);
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
    m_store.removeStale();
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
        QFile::remove(thread->outputPath());
        delete thread;
    }
    m_running.clear();
    qDeleteAll(m_waiting);
    m_waiting.clear();
    if (theInstance == this)
        theInstance = nullptr;
}

const MediaTranscoder::Entry *MediaTranscoder::currentEntry(const Key &key) const
{
    const auto it = m_lookup.constFind(key);
    if (it == m_lookup.cend())
        return nullptr;
    // A conversion under way finishes first; its result is checked then.
    if (it->status == State_COMPLETE &&
        it->outputPath != m_store.keptPath(key.sourcePath, key.type))
        return nullptr;
    return &*it;
}

void MediaTranscoder::transcode(const QString &sourcePath, MediaType type)
{
    const QString keptPath = m_store.keptPath(sourcePath, type);
    if (keptPath.isEmpty())
        return; // no such file
    const Key key{sourcePath, type};
    if (currentEntry(key))
        return; // converting or converted; a failed one has no entry
    if (QFileInfo::exists(keptPath)) {
        reuse(key, keptPath);
        return;
    }
    m_lookup.insert(key, Entry{keptPath, State_TRANSCODING});
    auto *thread = new TranscodeThread(sourcePath, m_store.partPath(keptPath), type, this);
    if (m_running.size() >= MaxRunning)
        m_waiting.append(thread);
    else
        start(thread);
}

// Ready at once; the signal still comes, from the event loop, as after a
// conversion, for whoever waits for it.
void MediaTranscoder::reuse(const Key &key, const QString &keptPath)
{
    m_store.renew(keptPath);
    m_lookup.insert(key, Entry{keptPath, State_COMPLETE});
    logMedia(QStringLiteral("Transcoding %1 (%2) reused the kept conversion %3")
                 .arg(key.sourcePath, typeText(key.type), keptPath));
    QMetaObject::invokeMethod(
        this,
        [this, key] {
            if (state(key.sourcePath, key.type) == State_COMPLETE)
                emit transcodeComplete(key.sourcePath, key.type, State_COMPLETE);
        },
        Qt::QueuedConnection);
}

void MediaTranscoder::start(TranscodeThread *thread)
{
    logMedia(QStringLiteral("Transcoding %1 (%2)")
                 .arg(thread->sourcePath(), typeText(thread->mediaType())));
    connect(thread, &QThread::finished, this, &MediaTranscoder::onTranscodeComplete,
            Qt::QueuedConnection);
    m_running.insert(thread);
    thread->start(QThread::LowPriority);
}

MediaTranscoder::State MediaTranscoder::state(const QString &sourcePath, MediaType type) const
{
    const Entry *entry = currentEntry(Key{sourcePath, type});
    if (!entry)
        return State_UNKNOWN;
    return entry->status == State_COMPLETE ? State_COMPLETE : State_TRANSCODING;
}

QString MediaTranscoder::transcodedFile(const QString &sourcePath, MediaType type) const
{
    const Entry *entry = currentEntry(Key{sourcePath, type});
    if (!entry || entry->status != State_COMPLETE)
        return QString();
    return entry->outputPath;
}

// A result is kept only when the source is still what was asked for: one
// changed while it was read may be a mixture.
bool MediaTranscoder::keep(TranscodeThread *thread, const QString &keptPath)
{
    if (thread->result() == TranscodeResult_Succeeded &&
        m_store.keptPath(thread->sourcePath(), thread->mediaType()) == keptPath &&
        m_store.commit(thread->outputPath(), keptPath))
        return true;
    QFile::remove(thread->outputPath());
    return false;
}

void MediaTranscoder::onTranscodeComplete()
{
    auto *thread = qobject_cast<TranscodeThread *>(sender());
    LUM_ASSERT(thread != NULL);
    const QString sourcePath = thread->sourcePath();
    const MediaType type = thread->mediaType();
    QMap<Key, Entry> &lookup = m_lookup;
    const auto iLookup = lookup.find(Key{sourcePath, type});
    LUM_ASSERT(iLookup != lookup.end());
    const bool kept = keep(thread, iLookup->outputPath);
    const TranscodeResult result = kept || thread->result() != TranscodeResult_Succeeded
                                       ? thread->result()
                                       : TranscodeResult_Failed;
    logMedia(QStringLiteral("Transcoding %1 (%2) %3")
                 .arg(sourcePath, typeText(type), resultText(result)));

    State state = State_FAILED;
    if (kept) {
        iLookup->status = State_COMPLETE;
        state = State_COMPLETE;
    } else {
        lookup.erase(iLookup);
    }
    emit transcodeComplete(sourcePath, type, state);

    thread->deleteLater();
    m_running.remove(thread);
    if (!m_waiting.isEmpty())
        start(m_waiting.takeFirst());
}
