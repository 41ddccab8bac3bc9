#include "elementary_stream_encoder.h"

#include "av_pointers.h"
#include "codec_lock.h"
#include "media_input.h"
#include "progress_tracker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int OutputWidth = 720;
constexpr int PalHeight = 576;
constexpr int NtscHeight = 480;
constexpr qint64 BitRate = 8000000;
constexpr int GopSize = 12;
constexpr int MaxBFrames = 2;
constexpr double MuxMaxDelaySeconds = 0.7;
constexpr int MaxOutputPathLength = 1024;

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
    bool prepareScaledFrame();
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
};

} // namespace

ConvertResult encodeElementaryStream(const VideoInfo &info, const QString &temporaryPath, bool pal,
                                     ProgressTracker *progress)
{
    ElementaryStreamEncoder encoder(info.fileName, temporaryPath, pal, progress);
    return encoder.run();
}

ElementaryStreamEncoder::ElementaryStreamEncoder(const QString &sourcePath,
                                                 const QString &outputPath, bool pal,
                                                 ProgressTracker *progress)
    : m_sourcePath(sourcePath), m_outputPath(outputPath), m_width(OutputWidth),
      m_height(pal ? PalHeight : NtscHeight),
      m_timeBase(pal ? AVRational{1, 25} : AVRational{1001, 30000}), m_progress(progress)
{}

ElementaryStreamEncoder::~ElementaryStreamEncoder() = default;

ConvertResult ElementaryStreamEncoder::run()
{
    ProgressTracker::beginStage(m_progress, QFileInfo(m_sourcePath).size() / 1024);
    if (const ConvertResult result = openInput())
        return result;
    m_decoded.reset(av_frame_alloc());
    m_scaled.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    m_encoded.reset(av_packet_alloc());
    if (!m_decoded || !m_scaled || !m_packet || !m_encoded)
        return ConvertResult_CannotConvert;
    if (const ConvertResult result = openOutput())
        return result;
    if (const ConvertResult result = openCodecs())
        return result;
    if (const ConvertResult result = convertPackets())
        return result;
    if (av_write_trailer(m_output.get()) < 0)
        return ConvertResult_CannotConvert;
    ProgressTracker::endStage(m_progress);
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamEncoder::openInput()
{
    if (!m_input.open(m_sourcePath))
        return ConvertResult_InputNotFound;
    m_streamIndex = m_input.findDecodableStream(AVMEDIA_TYPE_VIDEO);
    return m_streamIndex < 0 ? ConvertResult_InputNotMpeg2 : ConvertResult_Ok;
}

ConvertResult ElementaryStreamEncoder::openOutput()
{
    const QByteArray name = QFile::encodeName(QDir::toNativeSeparators(m_outputPath));
    if (name.size() > MaxOutputPathLength)
        return ConvertResult_CannotConvert;
    AVFormatContext *output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "mpeg2video", name.constData()) < 0 ||
        !output)
        return ConvertResult_CannotConvert;
    m_output.reset(output);
    output->max_delay = int(MuxMaxDelaySeconds * AV_TIME_BASE);

    const AVCodecID codecId =
        av_guess_codec(output->oformat, nullptr, name.constData(), nullptr, AVMEDIA_TYPE_VIDEO);
    const AVCodec *codec = avcodec_find_encoder(codecId);
    if (!codec)
        return ConvertResult_CannotConvert;
    m_outputStream = avformat_new_stream(output, nullptr);
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_outputStream || !m_encoder)
        return ConvertResult_CannotConvert;

    AVCodecContext *encoder = m_encoder.get();
    encoder->bit_rate = BitRate;
    encoder->width = m_width;
    encoder->height = m_height;
    encoder->time_base = m_timeBase;
    encoder->framerate = av_inv_q(m_timeBase);
    encoder->gop_size = GopSize;
    encoder->max_b_frames = MaxBFrames;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->thread_count = 0; // as many as the machine has, as the ffmpeg tool does
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_outputStream->time_base = m_timeBase;

    if (!(output->oformat->flags & AVFMT_NOFILE) &&
        avio_open(&output->pb, name.constData(), AVIO_FLAG_WRITE) < 0)
        return ConvertResult_CannotConvert;
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamEncoder::openCodecs()
{
    m_decoder = m_input.openDecoder(m_streamIndex);
    if (!m_decoder)
        return ConvertResult_UnsupportedVideoType;
    {
        CodecLock lock;
        if (avcodec_open2(m_encoder.get(), m_encoder->codec, nullptr) < 0)
            return ConvertResult_CannotConvert;
    }
    if (avcodec_parameters_from_context(m_outputStream->codecpar, m_encoder.get()) < 0 ||
        avformat_write_header(m_output.get(), nullptr) < 0)
        return ConvertResult_CannotConvert;
    return ConvertResult_Ok;
}

ConvertResult ElementaryStreamEncoder::convertPackets()
{
    qint64 bytesRead = 0;
    for (;;) {
        if (ProgressTracker::isCancelled(m_progress))
            return ConvertResult_Cancelled;
        const int read = av_read_frame(m_input.format(), m_packet.get());
        if (read == AVERROR(EAGAIN))
            continue;
        if (read < 0)
            break; // the end of the input, or as much of it as can be read
        bytesRead += m_packet->size;
        ProgressTracker::setValue(m_progress, bytesRead / 1024);
        ConvertResult result = ConvertResult_Ok;
        if (m_packet->stream_index == m_streamIndex)
            result = decode(m_packet.get());
        av_packet_unref(m_packet.get());
        if (result != ConvertResult_Ok)
            return result;
    }
    // Pictures the decoder still holds, then those the encoder still holds.
    if (const ConvertResult result = decode(nullptr))
        return result;
    // Nothing decodable at all is no video.
    if (m_nextPts == 0 || avcodec_send_frame(m_encoder.get(), nullptr) < 0)
        return ConvertResult_CannotConvert;
    return writeEncodedPackets();
}

// A damaged packet costs its pictures, not the whole conversion: players
// and the decoders themselves go on at the next good one.
ConvertResult ElementaryStreamEncoder::decode(const AVPacket *packet)
{
    const int sent = avcodec_send_packet(m_decoder.get(), packet);
    if (sent == AVERROR_INVALIDDATA)
        return ConvertResult_Ok;
    if (sent < 0)
        return ConvertResult_CannotConvert;
    for (;;) {
        const int received = avcodec_receive_frame(m_decoder.get(), m_decoded.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return ConvertResult_Ok;
        if (received == AVERROR_INVALIDDATA)
            continue;
        if (received < 0)
            return ConvertResult_CannotConvert;
        const ConvertResult result = encode(m_decoded.get());
        av_frame_unref(m_decoded.get());
        if (result != ConvertResult_Ok)
            return result;
    }
}

ConvertResult ElementaryStreamEncoder::encode(const AVFrame *decoded)
{
    m_scaler.reset(sws_getCachedContext(
        m_scaler.release(), decoded->width, decoded->height, AVPixelFormat(decoded->format),
        m_width, m_height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!m_scaler || !prepareScaledFrame())
        return ConvertResult_CannotConvert;
    if (sws_scale(m_scaler.get(), decoded->data, decoded->linesize, 0, decoded->height,
                  m_scaled->data, m_scaled->linesize) != m_height)
        return ConvertResult_CannotConvert;
    m_scaled->pts = m_nextPts++;
    if (avcodec_send_frame(m_encoder.get(), m_scaled.get()) < 0)
        return ConvertResult_CannotConvert;
    return writeEncodedPackets();
}

bool ElementaryStreamEncoder::prepareScaledFrame()
{
    // The encoder may still hold earlier pictures (B pictures wait for their
    // references): give the next one a buffer of its own rather than copying.
    if (m_scaled->buf[0] && av_frame_is_writable(m_scaled.get()))
        return true;
    av_frame_unref(m_scaled.get());
    m_scaled->format = AV_PIX_FMT_YUV420P;
    m_scaled->width = m_width;
    m_scaled->height = m_height;
    return av_frame_get_buffer(m_scaled.get(), 0) >= 0;
}

ConvertResult ElementaryStreamEncoder::writeEncodedPackets()
{
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder.get(), m_encoded.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return ConvertResult_Ok;
        if (received < 0)
            return ConvertResult_CannotConvert;
        if (m_encoded->size == 0) {
            av_packet_unref(m_encoded.get());
            continue;
        }
        m_encoded->stream_index = m_outputStream->index;
        av_packet_rescale_ts(m_encoded.get(), m_encoder->time_base, m_outputStream->time_base);
        if (av_interleaved_write_frame(m_output.get(), m_encoded.get()) < 0)
            return ConvertResult_CannotConvert;
    }
}
