#pragma once

#include <QString>

class ProgressTracker;

// Codes of the audio routines beyond the Vorbis encoder's own (3 to 13, see
// VorbisChunkEncoder): these are not ConvertResult values.
enum AudioResult
{
    AudioResult_Ok = 0,
    AudioResult_CannotOpenInput = 1, // also: no decodable two-channel audio stream
    AudioResult_CannotWriteOutput = 2,
    AudioResult_Cancelled = 14,
    AudioResult_DecoderError = 15
};

// Whether a source holds raw PCM samples: its complete suffix (everything
// after the first dot of the file name) is "pcm" in any case.
bool isRawPcmPath(const QString &path);

// Raw 16-bit signed little-endian stereo samples at 48,000 Hz, to Vorbis
// audio chunks. Quality 0 to 10; the encoder runs at quality / 10.
int encodePcmAudio(const QString &sourcePath, const QString &outputPath, int quality,
                   ProgressTracker *progress, bool writeOutput);

// Any two-channel audio file FFmpeg can decode, in any sample format and at
// any rate (resampled to 48,000 Hz), to Vorbis audio chunks.
int encodeAudioFile(const QString &sourcePath, const QString &outputPath, int quality,
                    ProgressTracker *progress, bool writeOutput);
