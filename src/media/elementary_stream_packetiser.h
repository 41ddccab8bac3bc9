#pragma once

#include "convert_result.h"
#include "media_chunk.h"

#include <QtGlobal>

#include <memory>

class QIODevice;

// Cuts an MPEG-2 video elementary stream into one chunk per picture. A picture
// chunk runs from its picture start code (or from the sequence header before
// it, which travels with it together with any extension and group headers) to
// the next one. Runs of more than eleven zero bytes are shortened to eleven.
// Pack, system and stream-map start codes mean the input is a multiplex, not
// an elementary stream.
//
// The stream may arrive in blocks of any size; the result does not depend on
// where the blocks are cut. Bytes are examined one at a time only after two
// zero bytes in a row, since every start code and zero run begins with them;
// everything else is copied as it is.
//
// Chunks are made in place, one after the other in one buffer, and written
// about a mebibyte at a time.
class ElementaryStreamPacketiser
{
public:
    // A picture chunk never exceeds this many bytes.
    static constexpr qint64 MaxChunkLength = 0x80000;

    explicit ElementaryStreamPacketiser(QIODevice &output);
    ~ElementaryStreamPacketiser();

    // Returns ConvertResult_Ok, or the error that ends the stream; nothing may
    // be fed after an error.
    ConvertResult feed(const char *data, qint64 length);
    // Writes the last picture and whatever is still gathered.
    ConvertResult finish();

    // Chunks made: one per picture.
    int chunkCount() const { return m_chunkCount; }

private:
    enum Chunk
    {
        Chunk_None = 0
    };

    // Whether the byte after the window may end a start code or a zero run.
    bool isNearZeroPair(uchar next) const;
    ConvertResult processByte(uchar byte);
    ConvertResult appendOrdinary(const uchar *data, qint64 length);
    ConvertResult onPictureStart();
    ConvertResult onSequenceHeader();
    ConvertResult onPictureCodingType(uchar byte);
    ConvertResult writeOpenChunk(qint64 length);
    bool flush();
    bool append(uchar byte)
    {
        if (m_length >= MaxChunkLength)
            return false;
        m_payload[m_length++] = char(byte);
        return true;
    }

    QIODevice &m_output;
    std::unique_ptr<char[]> m_buffer; // finished chunks, then the open one
    qint64 m_chunkStart = 0;          // where the open chunk's header goes
    char *m_payload;                  // the open chunk's payload
    qint64 m_length = 0;              // of the open chunk's payload
    quint32 m_window = 0xFFFFFFFF;    // the last four bytes read
    int m_zeroRun = 0;                // four-zero windows in a row
    int m_headerBytesToRead = 0;      // picture header bytes still to come
    quint32 m_chunkType = Chunk_None;
    int m_chunkCount = 0;
};
