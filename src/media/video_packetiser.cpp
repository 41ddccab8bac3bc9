#include "video_packetiser.h"

#include "elementary_stream_encoder.h"
#include "elementary_stream_packetiser.h"
#include "progress_tracker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <memory>

namespace {

// Large reads keep the scan, not the system calls, the cost of packetising.
constexpr qint64 ReadBlockSize = 1024 * 1024;

ConvertResult packetiseStream(QFile &input, QFile &output, ProgressTracker *progress,
                              qint64 *pictures)
{
    ProgressTracker::beginStage(progress, input.size() / 1024);
    ElementaryStreamPacketiser packetiser(output);
    std::unique_ptr<char[]> block(new char[ReadBlockSize]);
    qint64 done = 0;
    for (;;) {
        if (ProgressTracker::isCancelled(progress))
            return ConvertResult_Cancelled;
        const qint64 length = input.read(block.get(), ReadBlockSize);
        if (length < 0)
            return ConvertResult_InputNotFound;
        if (length == 0)
            break;
        if (const ConvertResult result = packetiser.feed(block.get(), length))
            return result;
        done += length;
        ProgressTracker::setValue(progress, done / 1024);
    }
    if (const ConvertResult result = packetiser.finish())
        return result;
    if (pictures)
        *pictures = packetiser.chunkCount();
    if (!output.flush())
        return ConvertResult_CannotWriteOutput;
    ProgressTracker::endStage(progress);
    return ConvertResult_Ok;
}

} // namespace

ConvertResult packetiseVideo(const VideoInfo &info, const QString &outputPath,
                             ProgressTracker *progress, qint64 *pictures)
{
    QTemporaryFile temporary(QDir::tempPath() + QDir::separator() + QLatin1String("XXXXXX.m2v"));
    QFile input;
    ProgressTracker::beginStage(progress, info.rawElementaryStream ? 1 : 2);
    if (info.rawElementaryStream) {
        input.setFileName(info.fileName);
    } else {
        if (info.standard == VideoStandard_Unknown)
            return ConvertResult_InputNotFound;
        if (!temporary.open() || temporary.fileName().isEmpty())
            return ConvertResult_InputNotFound;
        temporary.close();
        const ConvertResult result = encodeElementaryStream(
            info, temporary.fileName(), info.standard == VideoStandard_PAL, progress);
        if (result != ConvertResult_Ok)
            return result;
        input.setFileName(temporary.fileName());
    }
    if (!input.open(QIODevice::ReadOnly))
        return ConvertResult_InputNotFound;

    // An empty output (the file reserved beside the one it will replace) is
    // written as it is: truncating a file, even an empty one, makes ext4
    // write all of it out when it is closed, which held a large conversion
    // for a third of its time.
    QFile output(outputPath);
    const bool empty = output.exists() && output.size() == 0;
    if (!output.open(empty ? QIODevice::WriteOnly | QIODevice::Append
                           : QIODevice::WriteOnly | QIODevice::Truncate))
        return ConvertResult_CannotWriteOutput;
    const ConvertResult result = packetiseStream(input, output, progress, pictures);
    if (result == ConvertResult_Ok)
        ProgressTracker::endStage(progress);
    return result;
}
