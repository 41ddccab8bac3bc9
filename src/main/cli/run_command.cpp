#include "run_command.h"

#include "event_log.h"
#include "log_printer.h"
#include "lum_application.h"
#include "lum_document.h"
#include "project_arguments.h"
#include "project_opening.h"
#include "service_notifier.h"
#include "signal_watch.h"
#include "unattended_schedule.h"
#include "upload_report.h"
#include "upload_runs.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace RunCommand {

namespace {

const char Usage[] = "run PROJECT.lmp [--log-level N] [--parallel N]";
// Printed entries are not kept beyond this many: the process runs for months.
constexpr int RetainedLogEntries = 10000;

QString tr(const char *text)
{
    return QCoreApplication::translate("RunCommand", text);
}

} // namespace

CliCommand command()
{
    return {"run", Usage,
            "run the project's scheduled uploads at their times until SIGINT or SIGTERM", &run};
}

int run(const QStringList &arguments)
{
    const std::optional<ProjectArguments> parsed = ProjectArguments::parse(
        arguments, ProjectArguments::Option_LogLevel | ProjectArguments::Option_Parallel,
        QString::fromLatin1(Usage));
    if (!parsed)
        return Cli::ExitUsage;
    LumApplication *application = LumApplication::instance();
    LogPrinter printer(application->eventLog(), parsed->logLevel);
    printer.setRetainedEntries(RetainedLogEntries);
    if (const int refused = ProjectOpening::openForUpload(*parsed))
        return refused;
    LumDocument &document = *application->document();
    if (document.uploadSchedule().isEmpty())
        Cli::error(
            tr("%1 has no scheduled uploads; nothing will run until stopped").arg(parsed->project));

    UploadRuns *runs = application->uploadRuns();
    QObject::connect(runs, &UploadRuns::reportCompleted, [](const UploadReport &report) {
        Cli::print(report.text() + QLatin1Char('\n'));
    });
    UnattendedSchedule schedule(runs, &document);
    SignalWatch signalWatch;
    QObject::connect(&signalWatch, &SignalWatch::received, [&] {
        Cli::error(tr("stopping: uploads under way are cancelled; signal again to stop at once"));
        ServiceNotifier::notify("STOPPING=1");
        schedule.stop();
    });
    QEventLoop loop;
    QObject::connect(&schedule, &UnattendedSchedule::stopped, &loop, &QEventLoop::quit);
    schedule.start();
    // Under systemd (Type=notify) the service counts as started from here.
    ServiceNotifier::notify("READY=1");
    loop.exec();
    if (schedule.stopTimedOut()) {
        Cli::error(tr("stopped before every run and alert mail had finished"));
        return 1;
    }
    return 0;
}

} // namespace RunCommand
