#pragma once

#include "convert_result.h"
#include "video_info.h"

class ProgressTracker;

// Re-encodes the first decodable video stream of `info`'s file into a raw
// MPEG-2 elementary stream at `temporaryPath`: 720 x 576 at 25 frames per
// second for PAL, 720 x 480 at 30000/1001 otherwise, 8 Mbit/s, planar
// YUV 4:2:0, groups of 12 pictures with at most two B pictures in a row.
ConvertResult encodeElementaryStream(const VideoInfo &info, const QString &temporaryPath, bool pal,
                                     ProgressTracker *progress);
