#include "audio_conversion.h"

#include "media_input.h"
#include "progress_tracker.h"
#include "vorbis_chunk_encoder.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int FramesPerBlock = 48000;
constexpr int BytesPerPcmFrame = 4;
constexpr float SampleScale = 1.0f / 32768.0f;

// Opens the output when writing; the encoder gets it, or null.
bool openOutput(QFile &output, bool writeOutput)
{
    return !writeOutput || output.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

int finishOutput(QFile &output, bool writeOutput)
{
    if (writeOutput && !output.flush())
        return AudioResult_CannotWriteOutput;
    return AudioResult_Ok;
}

// Reads up to `length` bytes, short only at the end of the input.
qint64 readFully(QFile &file, char *data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 read = file.read(data + done, length - done);
        if (read <= 0)
            return done > 0 ? done : read;
        done += read;
    }
    return done;
}

// Feeds decoded frames through the resampler (any sample format, layout and
// rate to planar float stereo at 48,000 Hz) into the encoder. The resampler
// follows the frames, so a stream that changes its format midway still
// converts.
class AudioFileConverter
{
public:
    explicit AudioFileConverter(VorbisChunkEncoder &encoder) : m_encoder(encoder) {}
    ~AudioFileConverter() { av_channel_layout_uninit(&m_layout); }
    AudioFileConverter(const AudioFileConverter &) = delete;
    AudioFileConverter &operator=(const AudioFileConverter &) = delete;

    int convert(const AVFrame *frame);
    int flush();

private:
    bool matches(const AVFrame *frame) const;
    bool configure(const AVFrame *frame);
    int resample(const uint8_t **input, int inputFrames);
    int resamplePiece(const uint8_t **input, int inputFrames);

    VorbisChunkEncoder &m_encoder;
    av::ResamplerPtr m_resampler;
    int m_format = AV_SAMPLE_FMT_NONE;
    int m_rate = 0;
    AVChannelLayout m_layout{};
};

int AudioFileConverter::convert(const AVFrame *frame)
{
    if (!matches(frame)) {
        if (const int result = flush())
            return result;
        if (!configure(frame))
            return AudioResult_DecoderError;
    }
    return resample(const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
}

int AudioFileConverter::flush()
{
    return m_resampler ? resample(nullptr, 0) : AudioResult_Ok;
}

bool AudioFileConverter::matches(const AVFrame *frame) const
{
    return m_resampler && frame->format == m_format && frame->sample_rate == m_rate &&
           av_channel_layout_compare(&frame->ch_layout, &m_layout) == 0;
}

bool AudioFileConverter::configure(const AVFrame *frame)
{
    m_resampler.reset();
    av_channel_layout_uninit(&m_layout);
    if (frame->sample_rate <= 0 || av_channel_layout_copy(&m_layout, &frame->ch_layout) < 0)
        return false;
    m_format = frame->format;
    m_rate = frame->sample_rate;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext *resampler = nullptr;
    if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLTP, VorbisChunkEncoder::SampleRate,
                            &m_layout, AVSampleFormat(m_format), m_rate, 0, nullptr) < 0)
        return false;
    m_resampler.reset(resampler);
    return swr_init(resampler) >= 0;
}

// A frame's length and rate come from the file: at a rate of a few hertz a
// single frame becomes millions of frames at 48 kHz, and the encoder works on
// the stack in proportion to what it is given at once. The input goes in
// pieces that make at most about a block of output each.
int AudioFileConverter::resample(const uint8_t **input, int inputFrames)
{
    if (!input)
        return resamplePiece(nullptr, 0);
    const qint64 perBlock = qint64(FramesPerBlock) * m_rate / VorbisChunkEncoder::SampleRate;
    const int piece = int(std::clamp<qint64>(perBlock, 1, qMax(inputFrames, 1)));
    const AVSampleFormat format = AVSampleFormat(m_format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int planes = planar ? m_layout.nb_channels : 1;
    const int frameBytes = av_get_bytes_per_sample(format) * (planar ? 1 : m_layout.nb_channels);
    std::vector<const uint8_t *> pieceInput(static_cast<size_t>(planes));
    for (int done = 0; done < inputFrames; done += piece) {
        for (int plane = 0; plane < planes; ++plane)
            pieceInput[size_t(plane)] = input[plane] + qsizetype(done) * frameBytes;
        if (const int result = resamplePiece(pieceInput.data(), qMin(piece, inputFrames - done)))
            return result;
    }
    return AudioResult_Ok;
}

int AudioFileConverter::resamplePiece(const uint8_t **input, int inputFrames)
{
    // The encoder's planar float buffers take the resampler's output directly.
    const int room = swr_get_out_samples(m_resampler.get(), inputFrames);
    if (room <= 0)
        return AudioResult_Ok;
    float **buffer = m_encoder.buffer(room);
    if (!buffer)
        return VorbisChunkEncoder::Result_NoBuffer;
    const int frames = swr_convert(m_resampler.get(), reinterpret_cast<uint8_t **>(buffer), room,
                                   input, inputFrames);
    if (frames < 0)
        return AudioResult_DecoderError;
    return frames > 0 ? m_encoder.submit(frames) : AudioResult_Ok;
}

} // namespace

bool isRawPcmPath(const QString &path)
{
    return QFileInfo(path).completeSuffix().compare(QLatin1String("pcm"), Qt::CaseInsensitive) == 0;
}

int encodePcmAudio(const QString &sourcePath, const QString &outputPath, int quality,
                   ProgressTracker *progress, bool writeOutput)
{
    QFile input(sourcePath);
    if (!input.open(QIODevice::ReadOnly))
        return AudioResult_CannotOpenInput;
    QFile output(outputPath);
    if (!openOutput(output, writeOutput))
        return AudioResult_CannotWriteOutput;
    VorbisChunkEncoder encoder(writeOutput ? &output : nullptr);
    if (const int result = encoder.start(quality))
        return result;

    ProgressTracker::beginStage(progress, input.size() / 1024);
    std::unique_ptr<char[]> block(new char[FramesPerBlock * BytesPerPcmFrame]);
    qint64 done = 0;
    for (;;) {
        if (ProgressTracker::isCancelled(progress))
            return AudioResult_Cancelled;
        float **buffer = encoder.buffer(FramesPerBlock);
        if (!buffer)
            return VorbisChunkEncoder::Result_NoBuffer;
        const qint64 read = readFully(input, block.get(), FramesPerBlock * BytesPerPcmFrame);
        const int frames = read > 0 ? int(read / BytesPerPcmFrame) : 0;
        const uchar *sample = reinterpret_cast<const uchar *>(block.get());
        for (int i = 0; i < frames; ++i, sample += BytesPerPcmFrame) {
            buffer[0][i] = float(qFromLittleEndian<qint16>(sample)) * SampleScale;
            buffer[1][i] = float(qFromLittleEndian<qint16>(sample + 2)) * SampleScale;
        }
        if (const int result = encoder.submit(frames))
            return result;
        if (frames == 0)
            break;
        done += read;
        ProgressTracker::setValue(progress, done / 1024);
    }
    ProgressTracker::endStage(progress);
    return finishOutput(output, writeOutput);
}

int encodeAudioFile(const QString &sourcePath, const QString &outputPath, int quality,
                    ProgressTracker *progress, bool writeOutput)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return AudioResult_CannotOpenInput;
    const qint64 sourceSize = source.size();
    source.close();

    MediaInput input;
    if (!input.open(sourcePath))
        return AudioResult_CannotOpenInput;
    const int streamIndex = input.findDecodableStream(AVMEDIA_TYPE_AUDIO);
    if (streamIndex < 0)
        return AudioResult_CannotOpenInput;
    const av::CodecContextPtr decoder = input.openDecoder(streamIndex);
    // Any sample format is converted; two channels are required.
    if (!decoder || decoder->ch_layout.nb_channels != VorbisChunkEncoder::Channels)
        return AudioResult_CannotOpenInput;

    QFile output(outputPath);
    if (!openOutput(output, writeOutput))
        return AudioResult_CannotWriteOutput;
    VorbisChunkEncoder encoder(writeOutput ? &output : nullptr);
    if (const int result = encoder.start(quality))
        return result;
    AudioFileConverter converter(encoder);

    const av::PacketPtr packet(av_packet_alloc());
    const av::FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return AudioResult_DecoderError;
    ProgressTracker::beginStage(progress, sourceSize / 1024);
    qint64 done = 0;
    bool inputEnded = false;
    while (!inputEnded) {
        if (ProgressTracker::isCancelled(progress))
            return AudioResult_Cancelled;
        const int read = av_read_frame(input.format(), packet.get());
        if (read == AVERROR(EAGAIN))
            continue;
        inputEnded = read < 0;
        if (!inputEnded && packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        // At the end an empty packet drains the decoder.
        const int sent = avcodec_send_packet(decoder.get(), inputEnded ? nullptr : packet.get());
        if (!inputEnded) {
            done += packet->size;
            av_packet_unref(packet.get());
        }
        if (sent < 0)
            return AudioResult_DecoderError;
        for (;;) {
            const int received = avcodec_receive_frame(decoder.get(), frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                break;
            if (received < 0)
                return AudioResult_DecoderError;
            const int result = converter.convert(frame.get());
            av_frame_unref(frame.get());
            if (result != AudioResult_Ok)
                return result;
        }
        ProgressTracker::setValue(progress, done / 1024);
    }
    if (const int result = converter.flush())
        return result;
    if (const int result = encoder.submit(0))
        return result;
    ProgressTracker::endStage(progress);
    return finishOutput(output, writeOutput);
}
