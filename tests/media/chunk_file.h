#pragma once

#include <QFile>
#include <QtEndian>

#include <ogg/ogg.h>

// Reads media chunk files back for the tests, checking every header and
// checksum on the way, and turns their payloads into files that the ffmpeg
// tools can read.
struct Chunk
{
    quint32 type = 0;
    QByteArray payload; // as stored (words swapped for pictures), padded to 4

    // The payload with each 4-byte word reversed again.
    QByteArray unswapped() const
    {
        QByteArray bytes = payload;
        for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
            std::swap(bytes[i], bytes[i + 3]);
            std::swap(bytes[i + 1], bytes[i + 2]);
        }
        return bytes;
    }
    // Audio chunks: the granule position (the Vorbis packet follows it).
    quint32 granule() const
    {
        return payload.size() >= 4 ? qFromLittleEndian<quint32>(payload.constData()) : 0;
    }
};

namespace ChunkFile {

constexpr quint32 Magic = 0x57EA83C2;
constexpr int HeaderSize = 16;
using namespace Qt::StringLiterals;

// The chunks of a file; empty with `error` set when any header, size or
// checksum is wrong.
inline QList<Chunk> fromBytes(const QByteArray &bytes, QString *error)
{
    QList<Chunk> chunks;
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const char *header = bytes.constData() + offset;
        const qsizetype left = bytes.size() - offset - HeaderSize;
        const quint32 size = left < 0 ? 0 : qFromLittleEndian<quint32>(header + 4);
        if (left < 0 || qFromLittleEndian<quint32>(header) != Magic || size % 4 != 0 ||
            size > quint64(left)) {
            *error = u"chunk %1 at %2: truncated, or a bad magic or size"_s.arg(chunks.size())
                         .arg(offset);
            return {};
        }
        Chunk chunk;
        chunk.type = qFromLittleEndian<quint32>(header + 8);
        chunk.payload = bytes.mid(offset + HeaderSize, size);
        quint32 sum = 0;
        for (quint32 i = 0; i < size; i += 4)
            sum += qFromLittleEndian<quint32>(chunk.payload.constData() + i);
        if (sum != qFromLittleEndian<quint32>(header + 12)) {
            *error = u"chunk %1 at %2: checksum mismatch"_s.arg(chunks.size()).arg(offset);
            return {};
        }
        chunks.append(chunk);
        offset += HeaderSize + size;
    }
    return chunks;
}

inline QList<Chunk> read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        *error = u"cannot open "_s + path; // and no chunks
    return fromBytes(file.readAll(), error);
}

inline QList<quint32> types(const QList<Chunk> &chunks)
{
    QList<quint32> types;
    for (const Chunk &chunk : chunks)
        types.append(chunk.type);
    return types;
}

// Whether the unswapped payloads, less their pad bytes, are exactly
// `expected`: empty when they are, else where they differ. A chunk's pad (0 to
// 3 bytes) is told from its data by where the next chunk starts in `expected`.
inline QString compareWithStream(const QList<Chunk> &chunks, const QByteArray &expected)
{
    qsizetype offset = 0;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const QByteArray data = chunks[i].unswapped();
        const bool last = i + 1 == chunks.size();
        const QByteArray next = last ? QByteArray() : chunks[i + 1].unswapped().left(4);
        qsizetype length = -1;
        for (qsizetype candidate = data.size(); candidate >= data.size() - 3 && candidate >= 0;
             --candidate) {
            if (expected.mid(offset, candidate) != data.left(candidate))
                continue;
            const bool fits = last ? offset + candidate == expected.size()
                                   : expected.mid(offset + candidate, next.size()) == next;
            if (fits) {
                length = candidate;
                break;
            }
        }
        if (length < 0)
            return u"chunk %1 (%2 bytes) does not continue the stream at %3"_s.arg(i)
                .arg(data.size())
                .arg(offset);
        offset += length;
    }
    if (offset != expected.size())
        return u"the chunks end at %1 of %2 bytes"_s.arg(offset).arg(expected.size());
    return QString();
}

// An Ogg Vorbis file made of the audio chunks' packets.
inline bool writeOgg(const QList<Chunk> &chunks, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    const auto writePages = [&](bool flush) {
        ogg_page page;
        while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
            file.write(reinterpret_cast<const char *>(page.header), page.header_len);
            file.write(reinterpret_cast<const char *>(page.body), page.body_len);
        }
    };
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QByteArray bytes = chunks[i].payload.mid(4);
        // A chunk does not record its pad: the identification header's fixed
        // length is restored, other packets carry their pad (decoders ignore it).
        if (i == 0)
            bytes.truncate(30);
        ogg_packet packet{};
        packet.packet = reinterpret_cast<unsigned char *>(bytes.data());
        packet.bytes = long(bytes.size());
        packet.b_o_s = i == 0;
        packet.e_o_s = i + 1 == chunks.size();
        packet.granulepos = chunks[i].granule();
        packet.packetno = i;
        ogg_stream_packetin(&stream, &packet);
        // The headers end on a page of their own, as Vorbis streams require.
        writePages(i == 2 || i + 1 == chunks.size());
    }
    ogg_stream_clear(&stream);
    return file.flush();
}

} // namespace ChunkFile
