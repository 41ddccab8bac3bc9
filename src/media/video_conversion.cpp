#include "video_conversion.h"

#include "video_analysis.h"
#include "video_packetiser.h"

#include <algorithm>
#include <limits>

ConvertResult convertVideo(VideoInfo &info, const QString &outputPath, ProgressTracker *progress)
{
    if (const ConvertResult result = analyseVideo(info, progress, false))
        return result;
    qint64 pictures = 0;
    const ConvertResult result = packetiseVideo(info, outputPath, progress, &pictures);
    if (result != ConvertResult_Ok || !info.rawElementaryStream)
        return result;
    info.durationMs = int(
        std::min<qint64>(picturesToMs(pictures, info.standard), std::numeric_limits<int>::max()));
    if (info.durationMs == 0) {
        info.valid = false;
        return ConvertResult_InputNotMpeg2;
    }
    return ConvertResult_Ok;
}
