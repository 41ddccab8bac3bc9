#pragma once

// Show file headers built byte by byte, independent of the reader's own
// stream code, so that a wrong byte order or field order shows.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace ShowFileBytes {

inline void be16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value));
}

inline void be32(QByteArray &bytes, quint32 value)
{
    be16(bytes, quint16(value >> 16));
    be16(bytes, quint16(value));
}

inline void le16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value));
    bytes.append(char(value >> 8));
}

inline void le32(QByteArray &bytes, quint32 value)
{
    le16(bytes, quint16(value));
    le16(bytes, quint16(value >> 16));
}

using UuidParts = std::array<quint32, 4>;

// {00112233-4455-6677-8899-aabbccddeeff} as the four numbers a file holds.
constexpr UuidParts uuidA = {0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF};
constexpr UuidParts uuidB = {0x10203040, 0x50607080, 0x90A0B0C0, 0xD0E0F001};

struct General
{
    quint16 marker = 0xFF33;
    quint32 signature = 0x00005678;
    quint16 repeatedMarker = 0xFF33;
    quint16 version = 315;
    std::array<quint8, 3> firmware = {2, 5, 1};
    quint16 deviceType = 9;
    UuidParts uuid = uuidA;
    QList<QByteArray> names;
    std::optional<quint16> clipCount; // instead of names.size()

    QByteArray bytes() const
    {
        QByteArray out;
        be16(out, marker);
        be32(out, signature);
        be16(out, repeatedMarker);
        be16(out, version);
        for (quint8 part : firmware)
            out.append(char(part));
        if (version >= 300)
            be16(out, deviceType);
        if (version >= 306) {
            for (quint32 part : uuid)
                be32(out, part);
        }
        if (version >= 315) {
            be16(out, clipCount.value_or(quint16(names.size())));
            for (const QByteArray &name : names) {
                be16(out, quint16(name.size()));
                out.append(name);
            }
        }
        return out;
    }
};

struct KmaClip
{
    qint32 number = 0;
    QByteArray name;
    QByteArray videoPath;
    QByteArray videoName;
    QByteArray audioPath;
    QByteArray audioName;
};

struct Kma
{
    quint32 signature = 0xA58100FF;
    quint32 version = 28;
    std::array<quint8, 3> firmware = {3, 1, 4};
    UuidParts uuid = uuidA;
    QList<KmaClip> clips;
    std::optional<quint32> clipCount; // instead of clips.size()

    static void text(QByteArray &out, const QByteArray &value)
    {
        le16(out, quint16(value.size()));
        out.append(value);
    }

    QByteArray bytes() const
    {
        QByteArray out;
        le32(out, signature);
        le32(out, version);
        if (version < 28)
            return out;
        for (quint8 part : firmware)
            out.append(char(part));
        for (quint32 part : uuid)
            le32(out, part);
        le32(out, clipCount.value_or(quint32(clips.size())));
        for (const KmaClip &clip : clips) {
            le32(out, quint32(clip.number));
            text(out, clip.name);
            text(out, clip.videoPath);
            text(out, clip.videoName);
            text(out, clip.audioPath);
            text(out, clip.audioName);
        }
        return out;
    }
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace ShowFileBytes
