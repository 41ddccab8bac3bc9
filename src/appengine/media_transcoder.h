#pragma once

#include "types.h"

#include <QDir>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class FileLock;
class QTemporaryDir;
class TranscodeThread;

// Converts the project's video and audio files into media chunk files in the
// background and remembers where the results are. One per process.
//
// An entry per requested (source, type): absent -> converting (status 0) ->
// complete (status 1), or absent again when the conversion fails or is
// cancelled, so that a later request converts it anew. At most two workers
// run at once, at low priority; further requests wait in order. The results
// live in the "transcoded" folder of the per-user data location, which is
// emptied at construction and removed at destruction. The folder belongs to
// one process at a time (a lock beside it): a second process of the same
// user (the command line beside the application) converts into a folder of
// its own, so that neither empties the other's results.
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
    // Cancels and waits for the running conversions and removes the folder.
    ~MediaTranscoder() override;

    void transcode(const QString &sourcePath, MediaType type);
    State state(const QString &sourcePath, MediaType type) const;
    // The converted file once it is complete; empty otherwise.
    QString transcodedFile(const QString &sourcePath, MediaType type) const;

    QString folderPath() const { return m_folder.absolutePath(); }
    bool isFolderUsable() const { return m_folderUsable; }
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
        QString outputPath;
        int status; // 0 converting, 1 complete
    };

    explicit MediaTranscoder(QObject *parent);
    void prepareFolder();
    void removeFiles();
    QString nextOutputPath();
    void start(TranscodeThread *thread);

    QMap<Key, Entry> m_lookup;
    QDir m_folder;
    bool m_folderUsable = false;
    std::unique_ptr<FileLock> m_folderLock;
    std::unique_ptr<QTemporaryDir> m_ownFolder; // when another process has the shared one
    QList<TranscodeThread *> m_waiting;
    QSet<TranscodeThread *> m_running;
};
