#pragma once

#include "convert_result.h"
#include "video_info.h"

class ProgressTracker;

// Fills `info` for the file named in it: size, frame rate, standard, duration
// and whether it is a raw MPEG-2 elementary stream that can be cut as it is.
ConvertResult analyseVideo(VideoInfo &info, ProgressTracker *progress);
