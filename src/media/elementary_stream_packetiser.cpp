#include "elementary_stream_packetiser.h"

#include <QIODevice>

#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
constexpr uchar PictureStartCode = 0x00;
constexpr uchar SequenceHeaderCode = 0xB3;
constexpr uchar PackHeaderCode = 0xBA;
constexpr uchar SystemHeaderCode = 0xBB;
constexpr uchar StreamMapCode = 0xBC;
// Codes from here on (stream identifiers) need no attention.
constexpr uchar FirstStreamCode = 0xBD;
// Zero bytes kept of a run: three, then eight more four-zero windows.
constexpr int MaxZeroWindows = 8;
// Finished chunks are written once they fill this much of the buffer.
constexpr qint64 FlushThreshold = 1024 * 1024;
constexpr qint64 BufferSize =
    FlushThreshold + MediaChunk::HeaderSize + ElementaryStreamPacketiser::MaxChunkLength + 4;

// The first of the next two zero bytes in a row, or `end`.
const uchar *findZeroPair(const uchar *p, const uchar *end)
{
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 17) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
        const unsigned pairs = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(here, zero), _mm_cmpeq_epi8(next, zero))));
        if (pairs != 0)
            return p + std::countr_zero(pairs);
        p += 16;
    }
#endif
    for (; end - p >= 2; ++p) {
        if (p[0] == 0 && p[1] == 0)
            return p;
    }
    return end;
}
} // namespace

ElementaryStreamPacketiser::ElementaryStreamPacketiser(QIODevice &output)
    : m_output(output), m_buffer(new char[BufferSize]),
      m_payload(m_buffer.get() + MediaChunk::HeaderSize)
{}

ElementaryStreamPacketiser::~ElementaryStreamPacketiser() = default;

ConvertResult ElementaryStreamPacketiser::feed(const char *data, qint64 length)
{
    const uchar *p = reinterpret_cast<const uchar *>(data);
    const uchar *const end = p + length;
    while (p < end) {
        if (m_headerBytesToRead > 0 || isNearZeroPair(*p)) {
            if (const ConvertResult result = processByte(*p++))
                return result;
            continue;
        }
        // Every start code and four-zero window ends two or three bytes after
        // a pair of zero bytes: up to and including the next pair, all is data.
        const uchar *pair = findZeroPair(p, end);
        const uchar *dataEnd = pair == end ? end : pair + 2;
        if (const ConvertResult result = appendOrdinary(p, dataEnd - p))
            return result;
        p = dataEnd;
    }
    return ConvertResult_Ok;
}

bool ElementaryStreamPacketiser::isNearZeroPair(uchar next) const
{
    return (m_window & 0x0000FFFF) == 0 || (m_window & 0x00FFFF00) == 0 ||
           ((m_window & 0xFF) == 0 && next == 0);
}

ConvertResult ElementaryStreamPacketiser::finish()
{
    // A stream that ends inside a picture header has no usable last picture.
    if (m_headerBytesToRead > 0)
        return ConvertResult_InputCorrupt;
    if (m_chunkType != Chunk_None && m_length > 0) {
        if (const ConvertResult result = writeOpenChunk(m_length))
            return result;
    }
    return flush() ? ConvertResult_Ok : ConvertResult_CannotWriteOutput;
}

ConvertResult ElementaryStreamPacketiser::processByte(uchar byte)
{
    m_window = (m_window << 8) | byte;
    if (m_headerBytesToRead > 0) {
        if (!append(byte))
            return ConvertResult_BufferOverflow;
        if (--m_headerBytesToRead == 0)
            return onPictureCodingType(byte);
        return ConvertResult_Ok;
    }
    if (m_window == 0) {
        if (++m_zeroRun <= MaxZeroWindows && !append(byte))
            return ConvertResult_BufferOverflow;
        return ConvertResult_Ok;
    }
    if ((m_window >> 8) == 0x000001 && byte < FirstStreamCode) {
        switch (byte) {
        case PictureStartCode:
            return onPictureStart();
        case SequenceHeaderCode:
            if (m_chunkType != Chunk_None && m_length >= 4)
                return onSequenceHeader();
            break; // appended with the headers that lead to the next picture
        case PackHeaderCode:
        case SystemHeaderCode:
        case StreamMapCode:
            return ConvertResult_NotRawM2v;
        default:
            break;
        }
    }
    m_zeroRun = 0;
    return append(byte) ? ConvertResult_Ok : ConvertResult_BufferOverflow;
}

ConvertResult ElementaryStreamPacketiser::appendOrdinary(const uchar *data, qint64 length)
{
    if (length > MaxChunkLength - m_length)
        return ConvertResult_BufferOverflow;
    std::memcpy(m_payload + m_length, data, size_t(length));
    m_length += length;
    m_zeroRun = 0;
    for (qint64 i = std::max<qint64>(length - 4, 0); i < length; ++i)
        m_window = (m_window << 8) | data[i];
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamPacketiser::onPictureStart()
{
    // The buffer ends with the start code's 00 00 01: they open the next chunk.
    if (m_chunkType != Chunk_None && m_length >= 4) {
        if (const ConvertResult result = writeOpenChunk(m_length - 3))
            return result;
        std::memcpy(m_payload, "\0\0\1", 3);
        m_length = 3;
    }
    if (!append(PictureStartCode))
        return ConvertResult_BufferOverflow;
    // Temporal reference, then the picture coding type in bits 5 to 3.
    m_headerBytesToRead = 2;
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamPacketiser::onSequenceHeader()
{
    if (const ConvertResult result = writeOpenChunk(m_length - 3))
        return result;
    std::memcpy(m_payload, "\0\0\1\xB3", 4);
    m_length = 4;
    m_chunkType = Chunk_None;
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamPacketiser::onPictureCodingType(uchar byte)
{
    switch ((byte >> 3) & 7) {
    case 1:
        m_chunkType = MediaChunk::Type_IPicture;
        return ConvertResult_Ok;
    case 2:
        m_chunkType = MediaChunk::Type_PPicture;
        return ConvertResult_Ok;
    case 3:
        m_chunkType = MediaChunk::Type_BPicture;
        return ConvertResult_Ok;
    default:
        return ConvertResult_InputCorrupt;
    }
}

// The bytes after `length` (the start code that opens the next chunk) are
// overwritten; the caller puts them at the start of the next payload.
ConvertResult ElementaryStreamPacketiser::writeOpenChunk(qint64 length)
{
    m_chunkStart +=
        frameChunk(m_payload - MediaChunk::HeaderSize, MediaChunk::Type(m_chunkType), true, length);
    ++m_chunkCount;
    if (m_chunkStart >= FlushThreshold && !flush())
        return ConvertResult_CannotWriteOutput;
    m_payload = m_buffer.get() + m_chunkStart + MediaChunk::HeaderSize;
    return ConvertResult_Ok;
}

bool ElementaryStreamPacketiser::flush()
{
    const bool written = m_output.write(m_buffer.get(), m_chunkStart) == m_chunkStart;
    m_chunkStart = 0;
    m_payload = m_buffer.get() + MediaChunk::HeaderSize;
    return written;
}
