#include "cli_command.h"

#include "cache_command.h"
#include "export_command.h"
#include "import_command.h"
#include "run_command.h"
#include "status_command.h"
#include "transcode_command.h"
#include "upgrade_command.h"
#include "upload_command.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace Cli {

namespace {
int interruption = 0;
int firstOutputError = 0;
} // namespace

QList<CliCommand> commands()
{
    // Each command lives in a file of its own beside this one.
    return {TranscodeCommand::command(), UpgradeCommand::command(), ExportCommand::command(),
            ImportCommand::command(),    StatusCommand::command(),  UploadCommand::command(),
            RunCommand::command(),       CacheCommand::command()};
}

void error(const QString &message)
{
    std::fprintf(stderr, "rigwarden-cli: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if ((std::fflush(stdout) != 0 || !written) && firstOutputError == 0)
        firstOutputError = errno ? errno : EIO;
}

int outputError()
{
    return firstOutputError;
}

bool isSameFile(const QString &first, const QString &second)
{
    struct stat firstStat = {};
    struct stat secondStat = {};
    return ::stat(QFile::encodeName(first).constData(), &firstStat) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &secondStat) == 0 &&
           firstStat.st_dev == secondStat.st_dev && firstStat.st_ino == secondStat.st_ino;
}

void setInterruptedBy(int signalNumber)
{
    interruption = signalNumber;
}

int interruptingSignal()
{
    return interruption;
}

} // namespace Cli
