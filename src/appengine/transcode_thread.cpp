#include "transcode_thread.h"

#include "audio_conversion.h"
#include "video_conversion.h"
#include "video_info.h"

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {
// Vorbis quality 0.4, for every audio conversion.
constexpr int AudioQuality = 4;

// Under Linux's default scheduler QThread::LowPriority changes nothing; the
// thread's own nice value does (the codec threads FFmpeg starts inherit it).
void lowerThreadPriority()
{
#ifdef Q_OS_LINUX
    const id_t thread = id_t(gettid());
    setpriority(PRIO_PROCESS, thread, std::min(getpriority(PRIO_PROCESS, thread) + 10, 19));
#endif
}
} // namespace

TranscodeThread::TranscodeThread(const QString &sourcePath, const QString &outputPath,
                                 MediaType mediaType, QObject *parent)
    : QThread(parent), m_sourcePath(sourcePath), m_outputPath(outputPath), m_mediaType(mediaType)
{}

void TranscodeThread::run()
{
    lowerThreadPriority();
    m_result = TranscodeResult_Failed;
    if (convert())
        m_result = TranscodeResult_Succeeded;
    // Whatever the routine made of it, a cancelled conversion is not a result.
    if (m_progress.isCancelled())
        m_result = TranscodeResult_Cancelled;
}

bool TranscodeThread::convert()
{
    switch (m_mediaType) {
    case MediaType_Video: {
        VideoInfo info(m_sourcePath);
        return convertVideo(info, m_outputPath, &m_progress) == ConvertResult_Ok;
    }
    case MediaType_Audio:
        if (isRawPcmPath(m_sourcePath))
            return encodePcmAudio(m_sourcePath, m_outputPath, AudioQuality, &m_progress, true) ==
                   AudioResult_Ok;
        return encodeAudioFile(m_sourcePath, m_outputPath, AudioQuality, &m_progress, true) ==
               AudioResult_Ok;
    default:
        return false;
    }
}
