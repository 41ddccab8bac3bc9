#pragma once

#include "conversion_store.h"
#include "types.h"

#include <QDir>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class TranscodeThread;

// Converts the project's video and audio files into media chunk files in the
// background and remembers where the results are. One per process.
//
// An entry per requested (source, type): absent -> converting (status 0) ->
// complete (status 1), or absent again when the conversion fails or is
// cancelled, so that a later request converts it anew. At most two workers
// run at once, at low priority; further requests wait in order.
//
// The results are kept between runs in the user's ConversionStore: a source
// converted before by any process, and unchanged since, is not converted
// again. An entry whose source has changed or gone since its conversion
// counts as absent, so a stale conversion is never handed out.
class MediaTranscoder : public QObject
{
    Q_OBJECT

public:
    enum State
    {
        State_TRANSCODING = 0,
        State_COMPLETE = 1,
        State_FAILED = 2, // signal only: the entry is gone
        State_UNKNOWN = 3 // state only: no entry
    };
    Q_ENUM(State)

    static constexpr int MaxRunning = 2;

    // Creates the process-wide transcoder, deleting any previous one.
    static MediaTranscoder *create(QObject *parent = nullptr);
    static MediaTranscoder *instance();
    // Cancels and waits for the running conversions; their part files go.
    ~MediaTranscoder() override;

    void transcode(const QString &sourcePath, MediaType type);
    State state(const QString &sourcePath, MediaType type) const;
    // The converted file once it is complete; empty otherwise.
    QString transcodedFile(const QString &sourcePath, MediaType type) const;

    QString folderPath() const { return m_store.folderPath(); }
    bool isFolderUsable() const { return m_store.isUsable(); }
    int runningCount() const { return int(m_running.size()); }
    int waitingCount() const { return int(m_waiting.size()); }

signals:
    void transcodeComplete(const QString &sourcePath, MediaType type, MediaTranscoder::State state);

public slots:
    void onTranscodeComplete();

private:
    struct Key
    {
        QString sourcePath;
        MediaType type;
        bool operator<(const Key &other) const
        {
            if (sourcePath != other.sourcePath)
                return sourcePath < other.sourcePath;
            return type < other.type;
        }
    };
    struct Entry
    {
        QString outputPath; // the kept name, for the source as it was asked for
        int status;         // 0 converting, 1 complete
    };

    explicit MediaTranscoder(QObject *parent);
    // The entry, unless its conversion was of the source as it no longer is.
    const Entry *currentEntry(const Key &key) const;
    void reuse(const Key &key, const QString &keptPath);
    bool keep(TranscodeThread *thread, const QString &keptPath);
    void start(TranscodeThread *thread);

    ConversionStore m_store;
    QMap<Key, Entry> m_lookup;
    QList<TranscodeThread *> m_waiting;
    QSet<TranscodeThread *> m_running;
};
