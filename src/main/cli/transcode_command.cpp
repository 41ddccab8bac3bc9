#include "transcode_command.h"

#include "audio_conversion.h"
#include "convert_result.h"
#include "media_libraries.h"
#include "progress_line.h"
#include "progress_tracker.h"
#include "video_conversion.h"
#include "video_info.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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
    const ConvertResult result = convertVideo(info, output, &progress);
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

// Ctrl-C or SIGTERM asks the running conversion to stop; a second signal
// removes the file being written and ends the process at once. The tracker's
// flag is atomic and unlink() may be called from a handler.
std::atomic<ProgressTracker *> cancelTarget{nullptr};
std::atomic<int> stoppingSignal{0};
char partialPath[4096] = {};

void onStopSignal(int signalNumber)
{
    if (stoppingSignal.exchange(signalNumber) == 0) {
        if (ProgressTracker *tracker = cancelTarget.load())
            tracker->cancel();
        return;
    }
    if (partialPath[0] != '\0')
        ::unlink(partialPath);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

class CancelOnSignals
{
public:
    // `partial` is the file a second signal removes; empty for none.
    CancelOnSignals(ProgressTracker &tracker, const QString &partial)
    {
        const QByteArray name = QFile::encodeName(partial);
        if (size_t(name.size()) < sizeof partialPath)
            std::memcpy(partialPath, name.constData(), size_t(name.size()) + 1);
        cancelTarget.store(&tracker);
        std::signal(SIGINT, onStopSignal);
        std::signal(SIGTERM, onStopSignal);
    }
    ~CancelOnSignals()
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        cancelTarget.store(nullptr);
        partialPath[0] = '\0';
    }
    CancelOnSignals(const CancelOnSignals &) = delete;
    CancelOnSignals &operator=(const CancelOnSignals &) = delete;

    int received() const { return stoppingSignal.load(); }
};

// Gives the finished conversion the output's name, with the permissions a
// newly created file would have had.
bool replaceOutput(QTemporaryFile &partial, const QString &output)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QByteArray from = QFile::encodeName(partial.fileName());
    if (::chmod(from.constData(), 0666 & ~mask) != 0 ||
        ::rename(from.constData(), QFile::encodeName(output).constData()) != 0)
        return false;
    partial.setAutoRemove(false);
    return true;
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
    // The conversion writes a file beside the output, which takes the
    // output's place only when complete: a failure or Ctrl-C leaves an
    // existing output as it was and no half-written one behind. A device or
    // a pipe is not replaced by a file; a symbolic link keeps pointing at
    // the file it names, which is replaced. Where no such file can be made,
    // or the output may not be written, the routine meets the output itself
    // and says why it cannot write it.
    const QFileInfo outputInfo(output);
    if (outputInfo.exists() && !outputInfo.isFile())
        return usageError(tr("the output %1 is not a regular file").arg(output));
    const QString replaced = outputInfo.exists() ? outputInfo.canonicalFilePath() : output;
    QTemporaryFile partial(replaced + QStringLiteral(".XXXXXX"));
    const bool beside = (!outputInfo.exists() || outputInfo.isWritable()) && partial.open();
    const QString target = beside ? partial.fileName() : output;
    partial.close();
    QString failure;
    int result = 0;
    int signalNumber = 0;
    {
        const CancelOnSignals cancelOnSignals(progress, beside ? target : QString());
        result = video ? transcodeVideo(source, target, progress, failure)
                       : transcodeAudio(source, target, progress, failure);
        signalNumber = cancelOnSignals.received();
    }
    line.clear();
    if (result == 0 && beside && !replaceOutput(partial, replaced)) {
        result = video ? int(ConvertResult_CannotWriteOutput) : int(AudioResult_CannotWriteOutput);
        failure = video ? convertResultText(ConvertResult_CannotWriteOutput)
                        : audioFailureText(AudioResult_CannotWriteOutput);
    }
    if (result != 0)
        Cli::error(tr("cannot convert %1 to %2: %3 (code %4)")
                       .arg(source, output, failure, QString::number(result)));
    if (signalNumber != 0)
        Cli::setInterruptedBy(signalNumber);
    return result;
}

} // namespace TranscodeCommand
