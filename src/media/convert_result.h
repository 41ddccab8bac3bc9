#pragma once

#include <QString>

// Outcome of a video conversion routine. The codes and their texts are part of
// the system's vocabulary; the command line returns the code as exit status.
enum ConvertResult
{
    ConvertResult_Ok = 0,
    ConvertResult_InputNotFound = 1,
    ConvertResult_InputNotMpeg2 = 2,
    ConvertResult_NotRawM2v = 3,
    ConvertResult_InputCorrupt = 4,
    ConvertResult_InputIncomplete = 5,    // reserved
    ConvertResult_UnsupportedProfile = 6, // reserved
    ConvertResult_UnsupportedSize = 7,    // reserved
    ConvertResult_UnsupportedBitrate = 8, // reserved
    ConvertResult_UnsupportedChroma = 9,  // reserved
    ConvertResult_UnsupportedLength = 10, // reserved
    ConvertResult_UnsupportedVideoType = 11,
    ConvertResult_CannotWriteOutput = 12,
    ConvertResult_BufferOverflow = 13,
    ConvertResult_Cancelled = 14,
    ConvertResult_CannotConvert = 15,
    ConvertResult_MAX = 16
};

// "Ok", "Input file not found", ... "Unable to convert".
QString convertResultText(ConvertResult result);
