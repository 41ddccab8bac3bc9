#pragma once

#include "types.h"
#include "upload_state.h"

#include <QObject>
#include <QString>

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

// The live state of every controller's upload and of every file in it, for
// the installation tree and the main window to redraw from. The controller
// link is its only writer; a controller's record is created by its first write.
class UploadFeedback : public QObject
{
    Q_OBJECT

public:
    // bytesSent of a file that has no progress to show.
    static constexpr quint64 NoProgress = 4294967295u;

    struct FileRecord
    {
        UploadState state = UploadState_None;
        quint64 bytesSent = NoProgress;
        quint64 totalBytes = 0;
        QString message; // null until a message is given
    };

    // A file is identified by its media slot (0xFFFFFFFF for the show file
    // and the validator file) and its media type.
    using FileKey = std::pair<uint, MediaType>;

    explicit UploadFeedback(QObject *parent = nullptr);

    // Replaces the controller's record by a fresh one; emits nothing.
    void reset(uint controllerId);
    // Forgets every controller; emits nothing.
    void clear();
    void setState(uint controllerId, UploadState state, const QString &message);

    // Creates the file record if missing and sets its size; emits nothing.
    void addFile(uint controllerId, uint mediaId, MediaType mediaType, quint64 totalBytes);
    // A null message keeps the stored one; an empty one clears it. Ignored
    // for a file that was never added.
    void setFileState(uint controllerId, uint mediaId, MediaType mediaType, UploadState state,
                      const QString &message = QString());
    void setFileProgress(uint controllerId, uint mediaId, MediaType mediaType, quint64 bytesSent);

    UploadState state(uint controllerId) const;
    QString message(uint controllerId) const;
    uint failureCount(uint controllerId) const;
    bool isUploading(uint controllerId) const;
    // Uploading or waiting to retry.
    bool isBusy(uint controllerId) const;
    std::optional<FileRecord> file(uint controllerId, uint mediaId, MediaType mediaType) const;

    // Controllers with an upload under way (not idle, failed, cancelled or complete).
    int activeCount() const;
    bool anyRetrying() const;
    // Bytes sent over bytes to send, in percent, across every file that shows
    // progress; -1 when no such file has a size.
    int overallProgress() const;

signals:
    void stateChanged(uint controllerId);
    void messageChanged(uint controllerId);
    void stateChanged(uint controllerId, uint mediaId, MediaType mediaType);
    void progressChanged(uint controllerId, uint mediaId, MediaType mediaType);

private:
    struct ControllerRecord
    {
        // A controller's few files, together and in key order: a progress
        // report then touches one small block of memory.
        std::vector<std::pair<FileKey, FileRecord>> files;
        FileRecord *findFile(const FileKey &key);
        const FileRecord *findFile(const FileKey &key) const;
        UploadState state = UploadState_None;
        QString message;
        uint failureCount = 0;
    };

    const ControllerRecord *findController(uint controllerId) const;
    void abandonFiles(uint controllerId, ControllerRecord &record);

    // Found by identifier on every progress report: a hash, so that the cost
    // does not grow with the fleet.
    std::unordered_map<uint, ControllerRecord> m_controllers;
};
