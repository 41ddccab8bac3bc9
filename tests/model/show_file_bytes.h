#pragma once

// Show file headers built byte by byte, independent of the reader's stream
// code, so that a wrong byte order or field order shows.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QUuid>

#include <array>
#include <optional>

namespace ShowFileBytes {

inline void put(QByteArray &bytes, quint32 value, int size, bool bigEndian)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char(value >> (8 * (bigEndian ? size - 1 - i : i))));
}

using UuidParts = std::array<quint32, 4>;
// {00112233-4455-6677-8899-aabbccddeeff} and another, as a file holds them.
constexpr UuidParts uuidA = {0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF};
constexpr UuidParts uuidB = {0x10203040, 0x50607080, 0x90A0B0C0, 0xD0E0F001};
inline const QUuid uuidTextA(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}"));
inline const QUuid uuidTextB(QStringLiteral("{10203040-5060-7080-90a0-b0c0d0e0f001}"));

struct General
{
    quint32 signature = 0x00005678;
    quint16 repeatedMarker = 0xFF33;
    quint16 version = 315;
    quint32 firmware = 0x020501; // 2.5.1
    quint16 deviceType = 9;
    UuidParts uuid = uuidA;
    QList<QByteArray> names;

    QByteArray bytes() const
    {
        QByteArray out;
        for (auto [value, size] : {std::pair{0xFF33u, 2},
                                   {signature, 4},
                                   {repeatedMarker, 2},
                                   {version, 2},
                                   {firmware, 3}})
            put(out, value, size, true);
        if (version >= 300)
            put(out, deviceType, 2, true);
        if (version >= 306) {
            for (quint32 part : uuid)
                put(out, part, 4, true);
        }
        if (version >= 315)
            put(out, quint32(names.size()), 2, true);
        for (const QByteArray &name : names) {
            put(out, quint32(name.size()), 2, true);
            out.append(name);
        }
        return out;
    }
};

struct KmaClip
{
    qint32 number = 0;
    QByteArray name, videoPath, videoName, audioPath, audioName;
};

struct Kma
{
    quint32 version = 28;
    UuidParts uuid = uuidA;
    QList<KmaClip> clips;
    std::optional<quint32> clipCount; // instead of clips.size()

    QByteArray bytes() const
    {
        QByteArray out;
        put(out, 0xA58100FF, 4, false);
        put(out, version, 4, false);
        if (version < 28)
            return out;
        put(out, 0x040103, 3, false); // firmware 3.1.4
        for (quint32 part : uuid)
            put(out, part, 4, false);
        put(out, clipCount.value_or(quint32(clips.size())), 4, false);
        for (const KmaClip &clip : clips) {
            put(out, quint32(clip.number), 4, false);
            for (const QByteArray &text :
                 {clip.name, clip.videoPath, clip.videoName, clip.audioPath, clip.audioName}) {
                put(out, quint32(text.size()), 2, false);
                out.append(text);
            }
        }
        return out;
    }
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Sets the file's modification time `seconds` from now (earlier when negative).
inline bool touch(const QString &path, qint64 seconds)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                            QFileDevice::FileModificationTime);
}

} // namespace ShowFileBytes
