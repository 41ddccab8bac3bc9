#pragma once

// Writes the headers of the two show file layouts for tests.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QUuid>

namespace ShowFileWriter {

inline void writeUuid(QDataStream &stream, const QUuid &uuid)
{
    const QByteArray bytes = uuid.toRfc4122();
    QDataStream words(bytes);
    for (int i = 0; i < 4; ++i) {
        quint32 word = 0;
        words >> word; // the UUID's bytes, most significant first
        stream << word;
    }
}

// General layout, big-endian.
inline QByteArray general(quint16 version, const QUuid &uuid, quint16 deviceType = 1)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << quint16(0xFF33) << quint32(0x5678) << quint16(0xFF33) << version << quint8(3)
           << quint8(2) << quint8(1);
    if (version >= 300)
        stream << deviceType;
    if (version >= 306)
        writeUuid(stream, uuid);
    if (version >= 315)
        stream << quint16(0);
    return data;
}

// KMA layout, little-endian.
inline QByteArray kma(quint32 version, const QUuid &uuid)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << quint32(0xA58100FF) << version << quint8(3) << quint8(2) << quint8(1);
    writeUuid(stream, uuid);
    stream << quint32(0);
    return data;
}

} // namespace ShowFileWriter
