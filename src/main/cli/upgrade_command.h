#pragma once

#include "cli_command.h"

// rigwarden-cli upgrade IN.lmp OUT.lmp: opens a project of any version as
// the application does and saves it in the current version. Exit 0; 2 for a
// usage error or a refused project (nothing is written); 1 when OUT cannot
// be written (an existing OUT stays as it was).
namespace UpgradeCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace UpgradeCommand
