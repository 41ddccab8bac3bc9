#include "media_input.h"

#include "codec_lock.h"

#include <QDir>
#include <QFile>

void av::CodecContextFreer::operator()(AVCodecContext *context) const
{
    CodecLock lock;
    avcodec_free_context(&context);
}

bool MediaInput::open(const QString &path)
{
    m_format.reset();
    AVFormatContext *format = nullptr;
    const QByteArray name = QFile::encodeName(QDir::toNativeSeparators(path));
    // Opening probes the container format; both probes are serialised.
    CodecLock lock;
    if (avformat_open_input(&format, name.constData(), nullptr, nullptr) < 0)
        return false;
    m_format.reset(format);
    return avformat_find_stream_info(format, nullptr) >= 0;
}

int MediaInput::findDecodableStream(AVMediaType type) const
{
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVCodecParameters *parameters = m_format->streams[i]->codecpar;
        if (parameters->codec_type != type)
            continue;
        CodecLock lock;
        if (avcodec_find_decoder(parameters->codec_id))
            return int(i);
    }
    return -1;
}

av::CodecContextPtr MediaInput::openDecoder(int streamIndex) const
{
    const AVStream *stream = m_format->streams[streamIndex];
    const AVCodecParameters *parameters = stream->codecpar;
    CodecLock lock;
    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    av::CodecContextPtr decoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0)
        return nullptr;
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = 0; // as many as the machine has, as the ffmpeg tool does
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return nullptr;
    return decoder;
}
