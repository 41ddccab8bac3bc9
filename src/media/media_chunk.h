#pragma once

#include <QtGlobal>

class QIODevice;

// The controllers' media chunk file: a sequence of chunks, each a 16-byte
// header (magic, payload size rounded up to 4, type, checksum; 32-bit little
// endian) followed by the payload. Video payloads are stored as byte-swapped
// 32-bit words; the checksum sums the payload words as stored.
namespace MediaChunk {

constexpr quint32 Magic = 0x57EA83C2;
constexpr int HeaderSize = 16;

enum Type : quint32
{
    Type_IPicture = 0x80000001,
    Type_PPicture = 0x80000002,
    Type_BPicture = 0x80000003,
    Type_VorbisPacket = 0x80000101
};

constexpr qint64 roundedLength(qint64 length)
{
    return (length + 3) & ~qint64(3);
}

} // namespace MediaChunk

// Appends one chunk of `length` payload bytes to the file; the payload is
// padded with zero bytes to a multiple of four. With swapWords each 4-byte
// group of `buffer` is reversed in place before it is summed and written.
// Returns false when the file does not take every byte.
bool writeChunk(QIODevice &file, MediaChunk::Type type, bool swapWords, char *buffer,
                qint64 length);

// Makes the same chunk in place, for a writer that gathers many before it
// writes: `frame` holds the header's 16 bytes, then `length` payload bytes,
// then room for the three pad bytes at most. Returns the chunk's whole size.
qint64 frameChunk(char *frame, MediaChunk::Type type, bool swapWords, qint64 length);
