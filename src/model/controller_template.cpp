#include "controller_template.h"

#include "show_file_reader.h"

#include <QFile>
#include <QFileInfo>

namespace {
const MediaPathKey mediaFolderKey{-1, MediaType_Folder};
} // namespace

void ControllerTemplate::setHardwareType(int type)
{
    m_hardwareType = type;
    if (!m_showFile.isEmpty())
        analyseShowFile();
}

void ControllerTemplate::setShowFile(const QString &path)
{
    if (path == m_showFile)
        return;
    m_showFile = path;
    analyseShowFile();
}

QString ControllerTemplate::mediaPath(int clipNumber, MediaType type) const
{
    const auto found = mediaPaths().find({clipNumber, type});
    return found == mediaPaths().end() ? QString() : found->second;
}

void ControllerTemplate::setMediaPath(int clipNumber, MediaType type, const QString &path)
{
    m_mediaPaths.edit()[{clipNumber, type}] = path;
}

void ControllerTemplate::setMediaFolder(const QString &folder)
{
    setMediaPath(mediaFolderKey.first, mediaFolderKey.second, folder);
    rebuildMediaPathsFromFolder();
}

void ControllerTemplate::analyseShowFile()
{
    const QUuid previousUuid = m_showProjectUuid;
    m_loadResult = FileLoadResult_NoError;
    m_minimumFirmware = FirmwareVersion();
    m_showDeviceType = 0;
    m_showReadTime = QDateTime();
    m_fileMediaClips.set({});

    readShowFile();

    // General shows find their media in the media folder. KMA shows record
    // their own paths, which the operator may have replaced: those choices
    // hold while the file is still the same project.
    if (m_showProjectUuid.isNull())
        m_mediaPaths.set({});
    else if (HardwareType::compatible(m_hardwareType, 1))
        rebuildMediaPathsFromFolder();
    else if (m_showProjectUuid != previousUuid)
        m_mediaPaths.set(clipMediaPaths(MediaPaths()));
    else
        m_mediaPaths.set(clipMediaPaths(mediaPaths()));
}

void ControllerTemplate::readShowFile()
{
    const ShowFileReader::Format format = ShowFileReader::formatFor(m_hardwareType);
    if (format == ShowFileReader::Format_None)
        return;
    QFile file(m_showFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_showReadTime = QFileInfo(file).lastModified();

    const ShowFileInfo info = ShowFileReader::read(file, format);
    if (info.status != ShowFileInfo::Status_Ok) {
        m_loadResult = FileLoadResult_NotRecognised;
        return;
    }
    m_minimumFirmware = info.minimumFirmware;
    if (info.deviceType) {
        m_showDeviceType = quint16(*info.deviceType);
        if (!isDeviceTypeAccepted()) {
            m_loadResult = FileLoadResult_WrongDevice;
            return;
        }
    }
    if (info.projectUuid)
        m_showProjectUuid = *info.projectUuid;
    m_fileMediaClips.set(info.clips);
}

void ControllerTemplate::rebuildMediaPathsFromFolder()
{
    const QString folder = mediaPath(mediaFolderKey.first, mediaFolderKey.second);
    MediaPaths paths;
    if (!folder.isEmpty()) {
        for (const auto &[number, clip] : fileMediaClips()) {
            if (clip.hasFile(MediaType_Slot)) {
                paths[{number, MediaType_Slot}] =
                    folder + QLatin1Char('/') + clip.file(MediaType_Slot).remoteNameText();
            }
        }
    }
    if (!fileMediaClips().empty())
        paths[mediaFolderKey] = folder;
    m_mediaPaths.set(std::move(paths));
}

// The Video and Audio path of every clip that has such a file: the one in
// `chosen` where there is one, else the one the show file records.
MediaPaths ControllerTemplate::clipMediaPaths(const MediaPaths &chosen) const
{
    MediaPaths paths;
    for (const auto &[number, clip] : fileMediaClips()) {
        for (const MediaType type : {MediaType_Video, MediaType_Audio}) {
            if (!clip.hasFile(type))
                continue;
            const auto previous = chosen.find({number, type});
            paths[{number, type}] =
                previous != chosen.end() ? previous->second : clip.file(type).path();
        }
    }
    return paths;
}

bool ControllerTemplate::showFileModified() const
{
    const QDateTime current = QFileInfo(m_showFile).lastModified();
    if (!current.isValid())
        return false;
    // A show never read (it was missing or unreadable) counts as changed once
    // it exists.
    return !m_showReadTime.isValid() || m_showReadTime < current;
}

bool ControllerTemplate::projectMatches(const QUuid &uuid) const
{
    return m_showProjectUuid.isNull() || m_showProjectUuid == uuid;
}

bool ControllerTemplate::isDeviceTypeAccepted() const
{
    if (HardwareType::equivalent(m_showDeviceType, m_hardwareType))
        return true;
    // Shows made for the first models also run on the second.
    const bool madeForFirstModel = m_showDeviceType == 1 || m_showDeviceType == 5;
    const bool secondModel = m_hardwareType == 2 || m_hardwareType == 6;
    return madeForFirstModel && secondModel;
}
