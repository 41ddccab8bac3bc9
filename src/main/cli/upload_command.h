#pragma once

#include "cli_command.h"

// rigwarden-cli upload PROJECT.lmp [--controller ID]... [--log-level N]:
// one automated upload run of the chosen controllers (all by default), as a
// scheduled run makes it: the controllers are discovered, the run waits for
// media conversions and retries as the preferences say, the event log is
// printed as it is written (levels up to N, default 0), then the report,
// and the alert mail goes out when the project's mail settings ask for it.
// Exit 0 when no result is FAILED, 1 otherwise, 2 for a usage error or a
// refused project. Ctrl-C (SIGINT) or SIGTERM cancels the run: its report
// says "Upload was cancelled" and is printed and mailed, and the command
// then ends by that signal, as an interrupted command does (status 130 for
// Ctrl-C in a shell), so that a script running it stops too.
namespace UploadCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace UploadCommand
