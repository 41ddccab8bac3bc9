#include "video_analysis.h"

#include "media_input.h"
#include "progress_tracker.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Large reads: the scan, not the system calls, is the cost.
constexpr qint64 ScanBlockSize = 1024 * 1024;

// Counts picture start codes (00 00 01 00) in a file, across block edges.
// Returns -1 when the file cannot be read.
qint64 countPictures(const QString &path, ProgressTracker *progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // Three bytes carried over from the previous block, then the block.
    std::unique_ptr<uchar[]> buffer(new uchar[ScanBlockSize + 3]);
    std::memset(buffer.get(), 0xFF, 3);
    qint64 pictures = 0;
    for (;;) {
        const qint64 length = file.read(reinterpret_cast<char *>(buffer.get()) + 3, ScanBlockSize);
        if (length <= 0)
            return length < 0 ? -1 : pictures;
        const uchar *const start = buffer.get();
        const uchar *const end = start + 3 + length;
        // Every start code has a 01 byte with two zeros before it.
        for (const uchar *p = start + 2; p < end - 1;) {
            const void *one = std::memchr(p, 1, size_t(end - 1 - p));
            if (!one)
                break;
            p = static_cast<const uchar *>(one);
            if (p[-1] == 0 && p[-2] == 0 && p[1] == 0)
                ++pictures;
            ++p;
        }
        std::memcpy(buffer.get(), end - 3, 3);
        if (ProgressTracker::isCancelled(progress))
            return pictures;
    }
}

ConvertResult classifyFrameRate(VideoInfo &info)
{
    if (info.frameRate == 25.0f) {
        info.standard = VideoStandard_PAL;
        info.rawElementaryStream &= info.width == 720 && info.height == 576;
    } else if (info.frameRate > 29.9f && info.frameRate <= 30.0f) {
        info.standard = VideoStandard_NTSC;
        info.rawElementaryStream &= info.width == 720 && info.height == 480;
    } else {
        info.standard = VideoStandard_Unknown;
        info.durationMs = 0;
        info.rawElementaryStream = false;
        return ConvertResult_InputNotMpeg2;
    }
    return ConvertResult_Ok;
}

qint64 containerDurationMs(const AVFormatContext *format, const AVStream *stream)
{
    // av_rescale saturates where a plain product of untrusted values would overflow.
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return av_rescale(format->duration, 1000, AV_TIME_BASE);
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && stream->time_base.num > 0 &&
        stream->time_base.den > 0)
        return av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    return 0;
}

// Pictures of one stream, counted by demuxing without decoding: for inputs
// whose container does not know its duration (an elementary stream of a size
// that must be re-encoded, for one).
qint64 countPackets(AVFormatContext *format, int streamIndex, ProgressTracker *progress)
{
    const av::PacketPtr packet(av_packet_alloc());
    if (!packet)
        return 0;
    qint64 pictures = 0;
    for (;;) {
        const int read = av_read_frame(format, packet.get());
        if (read == AVERROR(EAGAIN))
            continue;
        if (read < 0 || ProgressTracker::isCancelled(progress))
            return pictures;
        if (packet->stream_index == streamIndex)
            ++pictures;
        av_packet_unref(packet.get());
    }
}

} // namespace

qint64 picturesToMs(qint64 pictures, VideoStandard standard)
{
    return standard == VideoStandard_PAL ? pictures * 40 : pictures * 1001 / 30;
}

ConvertResult analyseVideo(VideoInfo &info, ProgressTracker *progress, bool countRawPictures)
{
    info.valid = false;
    if (!QFileInfo::exists(info.fileName))
        return ConvertResult_InputNotFound;

    MediaInput input;
    if (!input.open(info.fileName))
        return ConvertResult_InputNotFound;
    const int streamIndex = input.findDecodableStream(AVMEDIA_TYPE_VIDEO);
    if (streamIndex < 0)
        return ConvertResult_InputNotMpeg2;

    const AVStream *stream = input.format()->streams[streamIndex];
    const AVCodecParameters *parameters = stream->codecpar;
    info.codecId = parameters->codec_id;
    info.pixelFormat = parameters->format;
    info.width = parameters->width;
    info.height = parameters->height;
    info.rawElementaryStream =
        parameters->codec_id == AV_CODEC_ID_MPEG2VIDEO &&
        parameters->format == AV_PIX_FMT_YUV420P && input.format()->nb_streams == 1 &&
        QFileInfo(info.fileName).suffix().compare(QLatin1String("m2v"), Qt::CaseInsensitive) == 0;
    const AVRational rate = stream->r_frame_rate;
    info.frameRate = rate.den != 0 ? float(rate.num) / float(rate.den) : 0.0f;
    if (const ConvertResult result = classifyFrameRate(info))
        return result;

    qint64 durationMs = 0;
    if (!info.rawElementaryStream) {
        durationMs = containerDurationMs(input.format(), stream);
        if (durationMs == 0)
            durationMs =
                picturesToMs(countPackets(input.format(), streamIndex, progress), info.standard);
    }
    input.close();

    if (info.rawElementaryStream && !countRawPictures) {
        info.valid = true;
        return ConvertResult_Ok;
    }
    if (info.rawElementaryStream) {
        const qint64 pictures = countPictures(info.fileName, progress);
        if (pictures < 0)
            return ConvertResult_InputNotFound;
        durationMs = picturesToMs(pictures, info.standard);
    }
    info.durationMs = int(std::min<qint64>(durationMs, std::numeric_limits<int>::max()));
    if (info.durationMs == 0)
        return ConvertResult_InputNotMpeg2;
    info.valid = true;
    return ConvertResult_Ok;
}
