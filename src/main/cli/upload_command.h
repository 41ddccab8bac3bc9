#pragma once

#include "cli_command.h"

// rigwarden-cli upload PROJECT.lmp [--controller ID]... [--log-level N]:
// one automated upload run of the chosen controllers (all by default), as a
// scheduled run makes it: the controllers are discovered, the run waits for
// media conversions and retries as the preferences say, the event log is
// printed as it is written (levels up to N, default 0), then the report,
// and the alert mail goes out when the project's mail settings ask for it.
// Ctrl-C cancels the run; its report then says "Upload was cancelled".
// Exit 0 when no result is FAILED, 1 otherwise (or when Ctrl-C came before
// the run started), 2 for a usage error or a refused project.
namespace UploadCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace UploadCommand
