#pragma once

#include <QRecursiveMutex>

// FFmpeg's stream probing, decoder lookup and codec opening and closing are
// serialised process-wide: hold a CodecLock around them. Recursive, so a
// routine that holds it may call another that takes it again.
class CodecLock
{
public:
    CodecLock();
    ~CodecLock();
    CodecLock(const CodecLock &) = delete;
    CodecLock &operator=(const CodecLock &) = delete;

    static QRecursiveMutex &mutex();
};
