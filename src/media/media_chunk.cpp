#include "media_chunk.h"

#include "lum_assert.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Sums the buffer as little-endian 32-bit words, reversing each word in
// place first when asked. `length` is a multiple of four.
quint32 sumWordsScalar(char *buffer, qint64 length, bool swapWords)
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

#ifdef __SSE2__
// Every video payload byte passes through here: sixteen at a time.
__m128i byteSwapWords(__m128i v)
{
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)),
                            _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

quint32 sumWords(char *buffer, qint64 length, bool swapWords)
{
    const qint64 vectorLength = length & ~qint64(15);
    __m128i sums = _mm_setzero_si128();
    for (qint64 i = 0; i < vectorLength; i += 16) {
        auto *at = reinterpret_cast<__m128i *>(buffer + i);
        __m128i words = _mm_loadu_si128(at);
        if (swapWords) {
            words = byteSwapWords(words);
            _mm_storeu_si128(at, words);
        }
        sums = _mm_add_epi32(sums, words); // x86 is little-endian, as the file
    }
    quint32 lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), sums);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] +
           sumWordsScalar(buffer + vectorLength, length - vectorLength, swapWords);
}
#else
quint32 sumWords(char *buffer, qint64 length, bool swapWords)
{
    return sumWordsScalar(buffer, length, swapWords);
}
#endif

} // namespace

qint64 frameChunk(char *frame, MediaChunk::Type type, bool swapWords, qint64 length)
{
    LUM_ASSERT(length >= 0);
    LUM_ASSERT(length <= 0x7FFFFFF0);
    char *payload = frame + MediaChunk::HeaderSize;
    const qint64 rounded = MediaChunk::roundedLength(length);
    std::memset(payload + length, 0, size_t(rounded - length));
    const quint32 sum = sumWords(payload, rounded, swapWords);
    auto *header = reinterpret_cast<uchar *>(frame);
    qToLittleEndian<quint32>(MediaChunk::Magic, header);
    qToLittleEndian<quint32>(quint32(rounded), header + 4);
    qToLittleEndian<quint32>(type, header + 8);
    qToLittleEndian<quint32>(sum, header + 12);
    return MediaChunk::HeaderSize + rounded;
}

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
