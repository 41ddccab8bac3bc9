#pragma once

#include <QString>

enum VideoStandard
{
    VideoStandard_Unknown = 0,
    VideoStandard_PAL = 1,
    VideoStandard_NTSC = 2,
    VideoStandard_MAX = 3
};

// What analyseVideo learnt about a video file; packetiseVideo works from it.
struct VideoInfo
{
    explicit VideoInfo(const QString &fileName = QString()) : fileName(fileName) {}

    QString fileName;
    int durationMs = 0; // must end non-zero for the file to be usable
    int width = 0;
    int height = 0;
    float frameRate = 0.0f;
    int codecId = 0;
    int pixelFormat = -1; // -1: none
    // The file can be cut into chunks as it is, without re-encoding.
    bool rawElementaryStream = false;
    VideoStandard standard = VideoStandard_Unknown;
    bool valid = false;
};
