#pragma once

#include "cli_command.h"

// rigwarden-cli import PROJECT.json OUT.lmp: builds a project from its JSON
// form (see project_json.h) and saves it. Exit 0; 2 for a usage error or
// JSON that is refused (nothing is written); 1 when OUT cannot be written.
namespace ImportCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace ImportCommand
