#pragma once

#include "cli_command.h"

// rigwarden-cli run PROJECT.lmp [--log-level N]: keeps the project's upload
// schedule on a server without a desktop session. Every controller is
// discovered; the scheduled uploads run at their times with the same log,
// reports and alert mails as in the application; the log is printed as it
// is written (levels up to N, default 0) and each report when it completes.
// SIGINT (Ctrl-C) or SIGTERM stops it cleanly: the uploads under way are
// cancelled and their reports and mails finished. The project file is never
// written. Exit 0 after a clean stop, 1 when the stop could not finish the
// runs in time, 2 for a usage error or a refused project.
namespace RunCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace RunCommand
