#pragma once

#include "types.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <utility>

// One file of a media clip: where it is on this computer and the name under
// which the controller expects it. The controller keeps that name in a 16-byte
// field padded with zero bytes, so it never holds more than 16 bytes and ends
// at its first zero byte.
class ClipFile
{
public:
    static constexpr int RemoteNameSize = 16;

    ClipFile() = default;
    ClipFile(const QString &path, const QByteArray &remoteName);

    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    QByteArray remoteName() const { return m_remoteName; }
    // Keeps what fits the controller's field: up to the first zero byte, at
    // most RemoteNameSize bytes.
    void setRemoteName(const QByteArray &remoteName);
    // One character per byte, so the name goes back to the controller byte
    // for byte.
    QString remoteNameText() const { return QString::fromLatin1(m_remoteName); }

    bool operator==(const ClipFile &other) const = default;

private:
    QString m_path;
    QByteArray m_remoteName;
};

// A slot or clip of a show: its display name and its files by media type
// (Video, Audio or Slot).
class MediaClip
{
public:
    using Files = std::map<MediaType, ClipFile>;

    MediaClip() = default;
    explicit MediaClip(const QString &name) : m_name(name) {}

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    const Files &files() const { return m_files; }
    bool hasFile(MediaType type) const { return m_files.count(type) != 0; }
    // The file of that type; an empty ClipFile when the clip has none.
    ClipFile file(MediaType type) const;
    void setFile(MediaType type, const ClipFile &file) { m_files[type] = file; }

    bool operator==(const MediaClip &other) const = default;

private:
    QString m_name;
    Files m_files;
};

// A show's clips by clip number.
using MediaClips = std::map<int, MediaClip>;

// Local media files chosen for a show, by (clip number, media type). Clip -1
// with type Folder holds the media (frame-array) folder.
using MediaPathKey = std::pair<int, MediaType>;
using MediaPaths = std::map<MediaPathKey, QString>;
