#include "transcode_command.h"

#include "audio_conversion.h"
#include "convert_result.h"
#include "media_libraries.h"
#include "progress_line.h"
#include "progress_tracker.h"
#include "video_analysis.h"
#include "video_info.h"
#include "video_packetiser.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace TranscodeCommand {

namespace {

// The quality every conversion of the system uses (Vorbis quality 0.4).
constexpr int AudioQuality = 4;

QString tr(const char *text)
{
    return QCoreApplication::translate("TranscodeCommand", text);
}

int transcodeVideo(const QString &source, const QString &output, ProgressTracker &progress,
                   QString &failure)
{
    VideoInfo info(source);
    ConvertResult result = analyseVideo(info, &progress);
    if (result == ConvertResult_Ok)
        result = packetiseVideo(info, output, &progress);
    failure = convertResultText(result);
    return result;
}

QString audioFailureText(int code)
{
    switch (code) {
    case AudioResult_CannotOpenInput:
        return tr("the input cannot be opened or holds no decodable two-channel audio");
    case AudioResult_CannotWriteOutput:
        return tr("the output file cannot be written");
    case AudioResult_Cancelled:
        return tr("cancelled");
    case AudioResult_DecoderError:
        return tr("the audio cannot be decoded");
    default:
        return tr("the Vorbis encoder failed");
    }
}

int transcodeAudio(const QString &source, const QString &output, ProgressTracker &progress,
                   QString &failure)
{
    const int result = isRawPcmPath(source)
                           ? encodePcmAudio(source, output, AudioQuality, &progress, true)
                           : encodeAudioFile(source, output, AudioQuality, &progress, true);
    failure = audioFailureText(result);
    return result;
}

int usageError(const QString &message)
{
    Cli::error(message + QLatin1String("; usage: rigwarden-cli transcode --video|--audio SRC OUT"));
    return Cli::ExitUsage;
}

} // namespace

CliCommand command()
{
    return {"transcode", "transcode --video|--audio SRC OUT",
            "convert a video or audio file into the controllers' media chunk file", &run};
}

int run(const QStringList &arguments)
{
    if (arguments.size() != 3)
        return usageError(tr("transcode takes a mode, a source and an output"));
    const QString mode = arguments.at(0);
    const QString source = arguments.at(1);
    const QString output = arguments.at(2);
    const bool video = mode == QLatin1String("--video");
    if (!video && mode != QLatin1String("--audio"))
        return usageError(tr("unknown mode \"%1\"").arg(mode));
    // Writing the output would destroy the source before it is read.
    const QFileInfo sourceInfo(source);
    if (Cli::isSameFile(source, output))
        return usageError(tr("the output %1 is the source itself").arg(output));

    MediaLibraries::initialise();
    ProgressLine line(tr("Transcoding %1").arg(sourceInfo.fileName()));
    ProgressTracker progress;
    if (line.isShown())
        progress.setObserver([&line](double fraction) { line.update(fraction); });
    QString failure;
    const int result = video ? transcodeVideo(source, output, progress, failure)
                             : transcodeAudio(source, output, progress, failure);
    line.clear();
    if (result != 0)
        Cli::error(tr("cannot convert %1 to %2: %3 (code %4)")
                       .arg(source, output, failure, QString::number(result)));
    return result;
}

} // namespace TranscodeCommand
