#pragma once

#include "av_pointers.h"

#include <QString>

// An opened and probed media file: the container, and a decoder for one of
// its streams on request. Probing and codec work take the CodecLock.
class MediaInput
{
public:
    // Opens the container and reads its stream information; false when the
    // file cannot be opened or probed.
    bool open(const QString &path);
    void close() { m_format.reset(); }

    AVFormatContext *format() const { return m_format.get(); }
    // Index of the first stream of the type whose codec has a decoder; -1 if none.
    int findDecodableStream(AVMediaType type) const;
    // An opened decoder for the stream; null when it cannot be opened.
    av::CodecContextPtr openDecoder(int streamIndex) const;

private:
    av::InputPtr m_format;
};
