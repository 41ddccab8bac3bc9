// rw_media_bench: runs one routine of the conversion core on one file, for
// run_media_bench.py, which times it against the ffmpeg tool doing the same.
//
//   rw_media_bench packetise SRC.m2v OUT    cut a raw PAL elementary stream
//   rw_media_bench encode-video SRC OUT.m2v re-encode to 720 x 576 MPEG-2 (PAL)
//   rw_media_bench encode-pcm SRC.pcm OUT   48 kHz stereo PCM to Vorbis chunks
//   rw_media_bench encode-audio SRC OUT     any audio file to Vorbis chunks

#include "audio_conversion.h"
#include "elementary_stream_encoder.h"
#include "media_libraries.h"
#include "video_info.h"
#include "video_packetiser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {
constexpr int AudioQuality = 4;

int run(const char *mode, const QString &source, const QString &output)
{
    if (std::strcmp(mode, "packetise") == 0) {
        VideoInfo info(source);
        info.rawElementaryStream = true;
        info.standard = VideoStandard_PAL;
        return packetiseVideo(info, output, nullptr);
    }
    if (std::strcmp(mode, "encode-video") == 0)
        return encodeElementaryStream(VideoInfo(source), output, true, nullptr);
    if (std::strcmp(mode, "encode-pcm") == 0)
        return encodePcmAudio(source, output, AudioQuality, nullptr, true);
    if (std::strcmp(mode, "encode-audio") == 0)
        return encodeAudioFile(source, output, AudioQuality, nullptr, true);
    std::fprintf(stderr, "unknown mode %s\n", mode);
    return 100;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: rw_media_bench MODE SRC OUT\n");
        return 100;
    }
    MediaLibraries::initialise();
    const QString source = QString::fromLocal8Bit(argv[2]);
    QElapsedTimer timer;
    timer.start();
    const int result = run(argv[1], source, QString::fromLocal8Bit(argv[3]));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%s %.3f s %.1f MB/s result %d\n", argv[1], seconds,
                double(QFileInfo(source).size()) / 1e6 / seconds, result);
    return result;
}
