#include "vorbis_chunk_encoder.h"

#include "media_chunk.h"

#include <QIODevice>
#include <QtEndian>

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>

VorbisChunkEncoder::VorbisChunkEncoder(QIODevice *output) : m_output(output)
{
    vorbis_info_init(&m_info);
    vorbis_comment_init(&m_comment);
}

VorbisChunkEncoder::~VorbisChunkEncoder()
{
    if (m_analysing) {
        vorbis_block_clear(&m_block);
        vorbis_dsp_clear(&m_dsp);
    }
    vorbis_comment_clear(&m_comment);
    vorbis_info_clear(&m_info);
}

int VorbisChunkEncoder::start(int quality)
{
    quality = std::min(quality, 10);
    if (quality < 2)
        quality = 1;
    switch (vorbis_encode_init_vbr(&m_info, Channels, SampleRate, float(quality) / 10.0f)) {
    case 0:
        break;
    case OV_EINVAL:
        return Result_InitInvalidArgument;
    case OV_EIMPL:
        return Result_InitNotImplemented;
    case OV_EFAULT:
        return Result_InitFault;
    default:
        return Result_InitOther;
    }
    if (vorbis_analysis_init(&m_dsp, &m_info) != 0)
        return Result_AnalysisSetup;
    vorbis_block_init(&m_dsp, &m_block);
    m_analysing = true;

    ogg_packet identification;
    ogg_packet comment;
    ogg_packet codebooks;
    switch (vorbis_analysis_headerout(&m_dsp, &m_comment, &identification, &comment, &codebooks)) {
    case 0:
        break;
    case OV_EFAULT:
        return Result_HeaderFault;
    case OV_EIMPL:
        return Result_HeaderNotImplemented;
    default:
        return Result_HeaderOther;
    }
    for (const ogg_packet *packet : {&identification, &comment, &codebooks}) {
        if (const int result = writePacket(*packet))
            return result;
    }
    return Result_Ok;
}

float **VorbisChunkEncoder::buffer(int frames)
{
    return m_analysing ? vorbis_analysis_buffer(&m_dsp, frames) : nullptr;
}

int VorbisChunkEncoder::submit(int frames)
{
    switch (vorbis_analysis_wrote(&m_dsp, frames)) {
    case 0:
        break;
    case OV_EINVAL:
        return Result_SubmitInvalidArgument;
    default:
        return Result_SubmitOther;
    }
    while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1) {
        vorbis_analysis(&m_block, nullptr);
        vorbis_bitrate_addblock(&m_block);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&m_dsp, &packet) == 1) {
            if (const int result = writePacket(packet))
                return result;
        }
    }
    return Result_Ok;
}

int VorbisChunkEncoder::writePacket(const ogg_packet &packet)
{
    if (!m_output)
        return Result_Ok;
    m_payload.resize(4 + packet.bytes);
    qToLittleEndian<quint32>(quint32(packet.granulepos), m_payload.data());
    std::memcpy(m_payload.data() + 4, packet.packet, size_t(packet.bytes));
    if (!writeChunk(*m_output, MediaChunk::Type_VorbisPacket, false, m_payload.data(),
                    m_payload.size()))
        return Result_CannotWriteOutput;
    return Result_Ok;
}
