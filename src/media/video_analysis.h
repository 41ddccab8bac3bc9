#pragma once

#include "convert_result.h"
#include "video_info.h"

class ProgressTracker;

// Fills `info` for the file named in it: size, frame rate, standard, duration
// and whether it is a raw MPEG-2 elementary stream that can be cut as it is.
//
// The duration of a raw elementary stream comes from counting its pictures,
// a pass over the whole file; with `countRawPictures` false that pass is
// left to the caller (convertVideo counts them as it cuts), and the duration
// of a raw stream stays 0.
ConvertResult analyseVideo(VideoInfo &info, ProgressTracker *progress,
                           bool countRawPictures = true);

// The duration of so many pictures of the standard, in milliseconds.
qint64 picturesToMs(qint64 pictures, VideoStandard standard);
