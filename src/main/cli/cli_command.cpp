#include "cli_command.h"

#include "export_command.h"
#include "import_command.h"
#include "run_command.h"
#include "status_command.h"
#include "transcode_command.h"
#include "upgrade_command.h"
#include "upload_command.h"

#include <cstdio>
#include <sys/resource.h>

namespace Cli {

namespace {
int interruption = 0;
} // namespace

QList<CliCommand> commands()
{
    // Each command lives in a file of its own beside this one.
    return {TranscodeCommand::command(), UpgradeCommand::command(), ExportCommand::command(),
            ImportCommand::command(),    StatusCommand::command(),  UploadCommand::command(),
            RunCommand::command()};
}

void error(const QString &message)
{
    std::fprintf(stderr, "rigwarden-cli: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void setInterruptedBy(int signalNumber)
{
    interruption = signalNumber;
}

int interruptingSignal()
{
    return interruption;
}

void raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace Cli
