// rw_conversion_process SOURCE video|audio: converts one source through the
// media transcoder, as any process of the user does, and prints "converted
// PATH", "reused PATH" or "failed". For the tests of kept conversions.

#include "lum_application.h"
#include "media_transcoder.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const std::unique_ptr<LumApplication> application(LumApplication::create());
    const std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
    const QString source = QString::fromLocal8Bit(argv[1]);
    const MediaType type = qstrcmp(argv[2], "video") == 0 ? MediaType_Video : MediaType_Audio;
    QEventLoop loop;
    QObject::connect(transcoder.get(), &MediaTranscoder::transcodeComplete, &loop,
                     &QEventLoop::quit);
    transcoder->transcode(source, type);
    const bool converting = transcoder->runningCount() > 0;
    if (converting)
        loop.exec();
    const QString kept = transcoder->transcodedFile(source, type);
    if (kept.isEmpty()) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("%s %s\n", converting ? "converted" : "reused", qPrintable(kept));
    return 0;
}
