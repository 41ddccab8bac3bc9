#include "codec_lock.h"

CodecLock::CodecLock()
{
    mutex().lock();
}

CodecLock::~CodecLock()
{
    mutex().unlock();
}

QRecursiveMutex &CodecLock::mutex()
{
    static QRecursiveMutex theMutex;
    return theMutex;
}
