#pragma once

#include "firmware_version.h"
#include "media_clip.h"

#include <QByteArray>
#include <QUuid>

#include <optional>

class QIODevice;

// What the header of a show file says. Fields a file's version does not hold
// stay empty (optional) or at their defaults.
struct ShowFileInfo
{
    enum Status
    {
        Status_Ok,
        Status_WrongSignature,
        // The header ends early or holds more than a show can: nothing of it
        // is to be trusted.
        Status_Damaged
    };

    Status status = Status_Ok;
    quint32 version = 0;
    FirmwareVersion minimumFirmware;
    std::optional<int> deviceType;
    std::optional<QUuid> projectUuid;
    MediaClips clips;
};

// Reads the header of a show file in either of the two formats: the general
// one (big-endian) and the KMA one (little-endian). Stateless and bounded: it
// never reads past the data, keeps at most 16 bytes of a remote name and
// refuses counts and text sizes no real show needs, so any file can be given.
class ShowFileReader
{
public:
    enum Format
    {
        Format_None,
        Format_General,
        Format_Kma
    };

    // More clips than a general show file can count.
    static constexpr quint32 MaxClipCount = 65535;
    // Clip names and paths of one KMA header together.
    static constexpr qint64 MaxTextBytes = 16 * 1024 * 1024;

    // The format a controller of that hardware type runs; Format_None for a
    // type outside 1 to 12.
    static Format formatFor(int hardwareType);

    static ShowFileInfo read(QIODevice &device, Format format);
    static ShowFileInfo read(const QByteArray &data, Format format);
    static ShowFileInfo readGeneral(QIODevice &device);
    static ShowFileInfo readKma(QIODevice &device);
};
