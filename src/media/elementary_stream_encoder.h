#pragma once

#include "av_pointers.h"
#include "convert_result.h"
#include "media_input.h"
#include "video_info.h"

class ProgressTracker;

// Re-encodes the first decodable video stream of `info`'s file into a raw
// MPEG-2 elementary stream at `temporaryPath`: 720 x 576 at 25 frames per
// second for PAL, 720 x 480 at 30000/1001 otherwise, 8 Mbit/s, planar
// YUV 4:2:0, groups of 12 pictures with at most two B pictures in a row.
ConvertResult encodeElementaryStream(const VideoInfo &info, const QString &temporaryPath, bool pal,
                                     ProgressTracker *progress);

// The pipeline behind encodeElementaryStream: demux, decode, scale, encode, mux.
class ElementaryStreamEncoder
{
public:
    ElementaryStreamEncoder(const QString &sourcePath, const QString &outputPath, bool pal,
                            ProgressTracker *progress);
    ~ElementaryStreamEncoder();
    ElementaryStreamEncoder(const ElementaryStreamEncoder &) = delete;
    ElementaryStreamEncoder &operator=(const ElementaryStreamEncoder &) = delete;

    ConvertResult run();

private:
    ConvertResult openInput();
    ConvertResult openOutput();
    ConvertResult openCodecs();
    ConvertResult convertPackets();
    ConvertResult decode(const AVPacket *packet);
    ConvertResult encode(const AVFrame *decoded);
    ConvertResult writeEncodedPackets();

    QString m_sourcePath;
    QString m_outputPath;
    int m_width;
    int m_height;
    AVRational m_timeBase;
    ProgressTracker *m_progress;

    MediaInput m_input;
    int m_streamIndex = -1;
    av::CodecContextPtr m_decoder;
    av::CodecContextPtr m_encoder;
    av::OutputPtr m_output;
    AVStream *m_outputStream = nullptr;
    av::ScalerPtr m_scaler;
    av::FramePtr m_decoded;
    av::FramePtr m_scaled;
    av::PacketPtr m_packet;
    av::PacketPtr m_encoded;
    qint64 m_nextPts = 0;
    bool m_headerWritten = false;
};
