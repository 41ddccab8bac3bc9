#include "media_chunk.h"

#include "lum_assert.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {

// Sums the buffer as little-endian 32-bit words, reversing each word in
// place first when asked. `length` is a multiple of four.
quint32 sumWords(char *buffer, qint64 length, bool swapWords)
{
    quint32 sum = 0;
    for (qint64 i = 0; i < length; i += 4) {
        quint32 word;
        std::memcpy(&word, buffer + i, 4);
        if (swapWords) {
            word = qbswap(word);
            std::memcpy(buffer + i, &word, 4);
        }
        sum += qFromLittleEndian(word);
    }
    return sum;
}

} // namespace

bool writeChunk(QIODevice &file, MediaChunk::Type type, bool swapWords, char *buffer, qint64 length)
{
    LUM_ASSERT(length >= 0);
    LUM_ASSERT(length <= 0x7FFFFFF0);
    const qint64 whole = length & ~qint64(3);
    char tail[4] = {0, 0, 0, 0};
    std::memcpy(tail, buffer + whole, size_t(length - whole));
    const qint64 tailLength = length > whole ? 4 : 0;

    const quint32 sum = sumWords(buffer, whole, swapWords) + sumWords(tail, tailLength, swapWords);

    uchar header[MediaChunk::HeaderSize];
    qToLittleEndian<quint32>(MediaChunk::Magic, header);
    qToLittleEndian<quint32>(quint32(whole + tailLength), header + 4);
    qToLittleEndian<quint32>(type, header + 8);
    qToLittleEndian<quint32>(sum, header + 12);
    return file.write(reinterpret_cast<const char *>(header), MediaChunk::HeaderSize) ==
               MediaChunk::HeaderSize &&
           file.write(buffer, whole) == whole && file.write(tail, tailLength) == tailLength;
}
