#pragma once

#include <QByteArray>

#include <vorbis/codec.h>

class QIODevice;

// Vorbis encoder for 2 channels at 48,000 Hz in quality mode whose packets
// become audio chunks: the three header packets first, then every packet the
// analysis yields, each after the low 32 bits of its granule position.
// Results are the audio routines' codes: 0 success, otherwise the code named
// at each step.
class VorbisChunkEncoder
{
public:
    static constexpr int Channels = 2;
    static constexpr int SampleRate = 48000;

    enum Result
    {
        Result_Ok = 0,
        Result_CannotWriteOutput = 2,
        Result_InitFault = 3,
        Result_InitInvalidArgument = 4,
        Result_InitNotImplemented = 5,
        Result_InitOther = 6,
        Result_AnalysisSetup = 7,
        Result_HeaderFault = 8,
        Result_HeaderNotImplemented = 9,
        Result_HeaderOther = 10,
        Result_SubmitInvalidArgument = 11,
        Result_NoBuffer = 12,
        Result_SubmitOther = 13
    };

    // Packets go to `output` when it is given; without it they are dropped.
    explicit VorbisChunkEncoder(QIODevice *output);
    ~VorbisChunkEncoder();
    VorbisChunkEncoder(const VorbisChunkEncoder &) = delete;
    VorbisChunkEncoder &operator=(const VorbisChunkEncoder &) = delete;

    // Quality 0 to 10 (values below 2 count as 1); sets up the encoder and
    // writes the three header packets.
    int start(int quality);
    // Room for `frames` frames, one float array per channel; null when the
    // encoder has none to give.
    float **buffer(int frames);
    // Submits the frames written into the buffer (0 ends the stream) and
    // writes every packet that is ready.
    int submit(int frames);

private:
    int writePacket(const ogg_packet &packet);

    QIODevice *m_output;
    vorbis_info m_info;
    vorbis_comment m_comment;
    vorbis_dsp_state m_dsp;
    vorbis_block m_block;
    bool m_analysing = false;
    QByteArray m_payload;
};
