#pragma once

#include "firmware_version.h"
#include "media_clip.h"
#include "shared_value.h"
#include "types.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <memory>

// One controller of an installation template: the hardware it must be, the
// show file it is to run with the media chosen for the show's clips, and what
// was learnt by analysing that show file. Copying gives an independent
// template (every field is a value); the media lists, which can be long, are
// shared between copies until one of them changes, since every controller
// holds a copy of its template.
class ControllerTemplate
{
public:
    ControllerTemplate() = default;

    int number() const { return m_number; }
    void setNumber(int number) { m_number = number; }

    int hardwareType() const { return m_hardwareType; }
    // Analyses the show file again when one is named: the type decides the
    // format it is read in and which device types it accepts.
    void setHardwareType(int type);

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    QString showFile() const { return m_showFile; }
    // Analyses the file when the path differs from the current one.
    void setShowFile(const QString &path);

    const MediaPaths &mediaPaths() const { return m_mediaPaths.get(); }
    void setMediaPaths(MediaPaths paths) { m_mediaPaths.set(std::move(paths)); }
    // An empty text when nothing is chosen for that clip and type.
    QString mediaPath(int clipNumber, MediaType type) const;
    void setMediaPath(int clipNumber, MediaType type, const QString &path);
    // The media folder of a general show: its slots' files are looked for in it.
    void setMediaFolder(const QString &folder);

    FirmwareVersion minimumFirmware() const { return m_minimumFirmware; }
    int showDeviceType() const { return m_showDeviceType; }
    QDateTime showReadTime() const { return m_showReadTime; }
    QUuid showProjectUuid() const { return m_showProjectUuid; }
    const MediaClips &fileMediaClips() const { return m_fileMediaClips.get(); }
    FileLoadResult loadResult() const { return m_loadResult; }
    QString loadResultText() const { return fileLoadResultText(m_loadResult); }

    // A project file restores what was analysed when it was saved, without
    // reading the show file again.
    void restoreShowFile(const QString &path) { m_showFile = path; }
    void setMinimumFirmware(const FirmwareVersion &version) { m_minimumFirmware = version; }
    void setShowDeviceType(int type) { m_showDeviceType = quint16(type); }
    void setShowReadTime(const QDateTime &time) { m_showReadTime = time; }
    void setShowProjectUuid(const QUuid &uuid) { m_showProjectUuid = uuid; }
    void setFileMediaClips(MediaClips clips) { m_fileMediaClips.set(std::move(clips)); }

    // Reads the show file's header and brings the analysed fields and the
    // media paths up to date. Never fails: an unreadable or foreign file shows
    // in loadResult.
    void analyseShowFile();
    // Whether the show file was saved after it was last analysed.
    bool showFileModified() const;
    // Whether a controller running the project `uuid` runs this show.
    bool projectMatches(const QUuid &uuid) const;
    // Whether the hardware type can load a show made for showDeviceType.
    bool isDeviceTypeAccepted() const;

    bool operator==(const ControllerTemplate &other) const = default;

private:
    void readShowFile();
    void rebuildMediaPathsFromFolder();
    MediaPaths clipMediaPaths(const MediaPaths &chosen) const;

    int m_number = 1;
    int m_hardwareType = HardwareType::NX;
    QString m_name;
    QString m_showFile;
    SharedValue<MediaPaths> m_mediaPaths;
    FirmwareVersion m_minimumFirmware;
    quint16 m_showDeviceType = 0;
    QDateTime m_showReadTime;
    QUuid m_showProjectUuid;
    SharedValue<MediaClips> m_fileMediaClips;
    FileLoadResult m_loadResult = FileLoadResult_NoError;
};

using ControllerTemplatePtr = std::shared_ptr<ControllerTemplate>;
