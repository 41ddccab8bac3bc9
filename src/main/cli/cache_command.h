#pragma once

#include "cli_command.h"

// rigwarden-cli cache [--clear]: where the kept conversions of media lie and
// how much room they take; --clear removes them (conversions being written
// by a running process stay). Exit 0, 2 for a usage error.
namespace CacheCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace CacheCommand
