#pragma once

#include "convert_result.h"
#include "video_info.h"

class ProgressTracker;

// The whole conversion of a video file as the transcoder and the command
// line run it: analyseVideo, then packetiseVideo, with the same results. A
// raw elementary stream is read once only: its pictures, which give its
// duration, are counted as it is cut instead of in a pass of their own, and
// a stream without any fails as the analysis would have failed it.
ConvertResult convertVideo(VideoInfo &info, const QString &outputPath, ProgressTracker *progress);
