#pragma once

#include "cli_command.h"

// rigwarden-cli export PROJECT.lmp: prints the whole project as JSON (see
// project_json.h); passwords only as whether one is set. Exit 0; 2 for a
// usage error or a refused project.
namespace ExportCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace ExportCommand
