#pragma once

#include "cli_command.h"

// rigwarden-cli transcode --video|--audio SRC OUT: converts one file into a
// media chunk file with the same routines the transcoder's workers run.
namespace TranscodeCommand {
CliCommand command();
int run(const QStringList &arguments);
} // namespace TranscodeCommand
