#include "upload_feedback.h"

#include <algorithm>

namespace {
bool isFinalFileState(UploadState state)
{
    return state == UploadState_AttemptError || state == UploadState_Error ||
           state == UploadState_Cancelled || state == UploadState_Complete;
}
} // namespace

UploadFeedback::UploadFeedback(QObject *parent) : QObject(parent)
{}

void UploadFeedback::reset(uint controllerId)
{
    m_controllers[controllerId] = ControllerRecord();
}

void UploadFeedback::clear()
{
    m_controllers.clear();
}

void UploadFeedback::setState(uint controllerId, UploadState state, const QString &message)
{
    ControllerRecord &record = m_controllers[controllerId];
    record.state = state;
    const bool messageDiffers = record.message != message;
    if (messageDiffers)
        record.message = message;

    if (state == UploadState_None || state == UploadState_Complete)
        record.failureCount = 0;
    if (state == UploadState_Error || state == UploadState_Cancelled) {
        record.failureCount = 0;
        abandonFiles(controllerId, record);
    }

    emit stateChanged(controllerId);
    if (messageDiffers)
        emit messageChanged(controllerId);
}

UploadFeedback::FileRecord *UploadFeedback::ControllerRecord::findFile(const FileKey &key)
{
    for (auto &[fileKey, file] : files) {
        if (fileKey == key)
            return &file;
    }
    return nullptr;
}

const UploadFeedback::FileRecord *
UploadFeedback::ControllerRecord::findFile(const FileKey &key) const
{
    return const_cast<ControllerRecord *>(this)->findFile(key);
}

// The upload was given up: files still on their way go back to rest, files
// that already ended keep their outcome, and no file shows progress any more.
void UploadFeedback::abandonFiles(uint controllerId, ControllerRecord &record)
{
    for (auto &[key, file] : record.files) {
        if (!isFinalFileState(file.state)) {
            file.state = UploadState_None;
            emit stateChanged(controllerId, key.first, key.second);
        }
        if (file.bytesSent != NoProgress) {
            file.bytesSent = NoProgress;
            emit progressChanged(controllerId, key.first, key.second);
        }
    }
}

void UploadFeedback::addFile(uint controllerId, uint mediaId, MediaType mediaType,
                             quint64 totalBytes)
{
    auto &files = m_controllers[controllerId].files;
    const FileKey key(mediaId, mediaType);
    auto at = std::lower_bound(
        files.begin(), files.end(), key,
        [](const auto &entry, const FileKey &wanted) { return entry.first < wanted; });
    if (at == files.end() || at->first != key)
        at = files.insert(at, {key, FileRecord()});
    at->second.totalBytes = totalBytes;
}

void UploadFeedback::setFileState(uint controllerId, uint mediaId, MediaType mediaType,
                                  UploadState state, const QString &message)
{
    const auto controller = m_controllers.find(controllerId);
    if (controller == m_controllers.end())
        return;
    FileRecord *found = controller->second.findFile({mediaId, mediaType});
    if (!found)
        return;
    FileRecord &file = *found;

    file.state = state;
    const bool messageGiven = !message.isNull();
    if (messageGiven)
        file.message = message;

    bool progressToo = messageGiven;
    switch (state) {
    case UploadState_Pending:
    case UploadState_Uploading:
        file.message = QString();
        progressToo = true;
        break;
    case UploadState_AttemptError:
        file.bytesSent = NoProgress;
        ++controller->second.failureCount;
        break;
    case UploadState_Error:
        file.bytesSent = NoProgress;
        break;
    case UploadState_Retrying:
        file.bytesSent = NoProgress;
        progressToo = true;
        break;
    default:
        break;
    }

    if (progressToo)
        emit progressChanged(controllerId, mediaId, mediaType);
    emit stateChanged(controllerId, mediaId, mediaType);
}

void UploadFeedback::setFileProgress(uint controllerId, uint mediaId, MediaType mediaType,
                                     quint64 bytesSent)
{
    const auto controller = m_controllers.find(controllerId);
    if (controller == m_controllers.end())
        return;
    FileRecord *found = controller->second.findFile({mediaId, mediaType});
    if (!found)
        return;
    found->bytesSent = bytesSent;
    emit progressChanged(controllerId, mediaId, mediaType);
}

const UploadFeedback::ControllerRecord *UploadFeedback::findController(uint controllerId) const
{
    const auto found = m_controllers.find(controllerId);
    return found == m_controllers.end() ? nullptr : &found->second;
}

UploadState UploadFeedback::state(uint controllerId) const
{
    const ControllerRecord *record = findController(controllerId);
    return record ? record->state : UploadState_None;
}

QString UploadFeedback::message(uint controllerId) const
{
    const ControllerRecord *record = findController(controllerId);
    return record ? record->message : QString();
}

uint UploadFeedback::failureCount(uint controllerId) const
{
    const ControllerRecord *record = findController(controllerId);
    return record ? record->failureCount : 0;
}

bool UploadFeedback::isUploading(uint controllerId) const
{
    return state(controllerId) == UploadState_Uploading;
}

bool UploadFeedback::isBusy(uint controllerId) const
{
    const UploadState current = state(controllerId);
    return current == UploadState_Uploading || current == UploadState_Retrying;
}

std::optional<UploadFeedback::FileRecord> UploadFeedback::file(uint controllerId, uint mediaId,
                                                               MediaType mediaType) const
{
    const ControllerRecord *record = findController(controllerId);
    if (!record)
        return std::nullopt;
    const FileRecord *found = record->findFile({mediaId, mediaType});
    if (!found)
        return std::nullopt;
    return *found;
}

int UploadFeedback::activeCount() const
{
    int count = 0;
    for (const auto &[id, record] : m_controllers) {
        if (record.state != UploadState_None && !isFinalFileState(record.state))
            ++count;
    }
    return count;
}

bool UploadFeedback::anyRetrying() const
{
    for (const auto &[id, record] : m_controllers) {
        if (record.state == UploadState_Retrying)
            return true;
    }
    return false;
}

int UploadFeedback::overallProgress() const
{
    quint64 sent = 0;
    quint64 total = 0;
    for (const auto &[id, record] : m_controllers) {
        for (const auto &[key, file] : record.files) {
            if (file.bytesSent == NoProgress)
                continue;
            sent += file.bytesSent;
            total += file.totalBytes;
        }
    }
    if (total == 0)
        return -1;
    // A file may report more than its announced size; the figure stays a percentage.
    return int(qMin<quint64>(100, 100 * sent / total));
}
