#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads media chunk files back for the tests, checking every header and
// checksum on the way, and turns their payloads into files that the ffmpeg
// tools can read.
struct Chunk
{
    quint32 type = 0;
    QByteArray payload; // as stored (words swapped for pictures), padded to 4

    // The payload with each 4-byte word reversed again.
    QByteArray unswapped() const;
    // Audio chunks: the granule position (the Vorbis packet follows it).
    quint32 granule() const;
};

namespace ChunkFile {

// The chunks of a file; empty with `error` set when any header, size or
// checksum is wrong.
QList<Chunk> read(const QString &path, QString *error);
QList<Chunk> fromBytes(const QByteArray &bytes, QString *error);

QList<quint32> types(const QList<Chunk> &chunks);

// Whether the unswapped payloads, less their pad bytes, are exactly
// `expected`: empty when they are, else where they differ. A chunk's pad (0 to
// 3 bytes) is told from its data by where the next chunk starts in `expected`.
QString compareWithStream(const QList<Chunk> &chunks, const QByteArray &expected);

// An Ogg Vorbis file made of the audio chunks' packets.
bool writeOgg(const QList<Chunk> &chunks, const QString &path);

} // namespace ChunkFile
