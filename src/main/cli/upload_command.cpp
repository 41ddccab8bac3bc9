#include "upload_command.h"

#include "automated_upload.h"
#include "log_printer.h"
#include "lum_application.h"
#include "lum_document.h"
#include "progress_line.h"
#include "project_arguments.h"
#include "project_opening.h"
#include "signal_watch.h"
#include "upload_feedback.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace UploadCommand {

namespace {

const char Usage[] = "upload PROJECT.lmp [--controller ID]... [--log-level N] [--parallel N]";
// The run's progress is summed over every file of every controller; the
// terminal needs it a few times a second, not at every block sent.
constexpr int ProgressMsec = 250;

QString tr(const char *text)
{
    return QCoreApplication::translate("UploadCommand", text);
}

// The share of the run's bytes sent so far: every file of every controller
// counts from the start, a file sent whole counts whole and one found on the
// controller counts for nothing; -1 while no size is known.
double runProgress(const LumDocument &document, const IdSet &controllerIds)
{
    const UploadFeedback &feedback = *document.uploadFeedback();
    quint64 sent = 0;
    quint64 total = 0;
    for (const uint controllerId : controllerIds) {
        if (!document.controllerExists(controllerId))
            continue;
        for (const FileToUpload &file : document.controller(controllerId)->filesToUpload()) {
            const std::optional<UploadFeedback::FileRecord> record =
                feedback.file(controllerId, file.mediaId(), file.mediaType);
            if (!record)
                continue;
            total += record->totalBytes;
            if (record->state == UploadState_Complete)
                sent += record->totalBytes;
            else if (record->bytesSent != UploadFeedback::NoProgress)
                sent += qMin(record->bytesSent, record->totalBytes);
        }
    }
    return total == 0 ? -1.0 : double(sent) / double(total);
}

} // namespace

CliCommand command()
{
    return {"upload", Usage,
            "upload to the controllers as a scheduled run does; print the log and the report",
            &run};
}

int run(const QStringList &arguments)
{
    const std::optional<ProjectArguments> parsed = ProjectArguments::parse(
        arguments,
        ProjectArguments::Option_Controller | ProjectArguments::Option_LogLevel |
            ProjectArguments::Option_Parallel,
        QString::fromLatin1(Usage));
    if (!parsed)
        return Cli::ExitUsage;
    LumApplication *application = LumApplication::instance();
    LogPrinter printer(application->eventLog(), parsed->logLevel);
    if (const int refused = ProjectOpening::openForUpload(*parsed))
        return refused;
    LumDocument &document = *application->document();
    const std::optional<IdSet> selected = parsed->selectedControllers(document);
    if (!selected)
        return Cli::ExitUsage;
    if (selected->empty()) {
        Cli::error(tr("%1 has no controllers to upload to").arg(parsed->project));
        return Cli::ExitUsage;
    }

    AutomatedUpload upload(application->uploadRuns(), &document);
    ProgressLine progress(tr("Uploading"));
    QTimer progressTimer;
    if (progress.isShown()) {
        printer.setProgressLine(&progress);
        QObject::connect(&progressTimer, &QTimer::timeout, [&] {
            const double fraction = runProgress(document, *selected);
            if (upload.stage() == AutomatedUpload::Stage_Running && fraction >= 0)
                progress.update(fraction);
        });
        progressTimer.start(ProgressMsec);
    }
    QObject::connect(&upload, &AutomatedUpload::reportReady, [&] {
        progressTimer.stop();
        progress.clear();
        printer.setProgressLine(nullptr);
        Cli::print(upload.reportText() + QLatin1Char('\n'));
    });
    SignalWatch signalWatch;
    int interruption = 0;
    QObject::connect(&signalWatch, &SignalWatch::received, [&](int signalNumber) {
        progress.clear();
        // The run is over: the signal cancels nothing, and the command still
        // ends by its result.
        if (upload.stage() == AutomatedUpload::Stage_Mailing) {
            Cli::error(tr("the upload has ended; waiting for the alert mail to be sent; press "
                          "Ctrl-C again to stop at once"));
            return;
        }
        Cli::error(tr("cancelling the upload; press Ctrl-C again to stop at once"));
        if (progressTimer.isActive())
            progress.redraw();
        interruption = signalNumber;
        upload.cancel();
    });
    QEventLoop loop;
    QObject::connect(&upload, &AutomatedUpload::finished, &loop, &QEventLoop::quit);
    upload.start(*selected);
    loop.exec();
    progress.clear();
    Cli::setInterruptedBy(interruption);

    if (!upload.hasReport()) {
        Cli::error(tr("cancelled before the upload started; nothing was uploaded"));
        return 1;
    }
    if (upload.mailTimedOut())
        Cli::error(tr("the alert mail was not sent within %1 seconds")
                       .arg(AutomatedUpload::DefaultMailWaitMsec / 1000));
    return upload.failedCount() == 0 ? 0 : 1;
}

} // namespace UploadCommand
