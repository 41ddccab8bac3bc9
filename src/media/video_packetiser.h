#pragma once

#include "convert_result.h"
#include "video_info.h"

class ProgressTracker;

// Writes the media chunk file for an analysed video: a raw elementary stream
// is cut as it is; anything else is first re-encoded to MPEG-2 in a temporary
// file (see encodeElementaryStream).
// `pictures`, when given, receives the number of pictures cut.
ConvertResult packetiseVideo(const VideoInfo &info, const QString &outputPath,
                             ProgressTracker *progress, qint64 *pictures = nullptr);
