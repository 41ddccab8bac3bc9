#include "cli_command.h"

#include "export_command.h"
#include "import_command.h"
#include "transcode_command.h"
#include "upgrade_command.h"

#include <cstdio>

namespace Cli {

QList<CliCommand> commands()
{
    // Each command lives in a file of its own beside this one.
    return {TranscodeCommand::command(), UpgradeCommand::command(), ExportCommand::command(),
            ImportCommand::command()};
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

} // namespace Cli
