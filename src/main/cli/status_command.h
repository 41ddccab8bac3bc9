#pragma once

#include "cli_command.h"

// rigwarden-cli status PROJECT.lmp [--controller ID]...: discovers the
// controllers (all, or the chosen ones) and prints one line per controller,
// the fields separated by tabs:
//   identifier, installation, name, hostname:HTTP port, "found" / "wrong
//   type" / "not found", hardware type, firmware, project name, project UUID
// with "-" for what the controller did not say. Exit 0 when every chosen
// controller was found, 1 otherwise, 2 for a usage error or a refused project.
namespace StatusCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace StatusCommand
