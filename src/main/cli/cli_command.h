#pragma once

#include <QStringList>

// One subcommand of rigwarden-cli. `run` gets the arguments after the
// command's name and returns the exit code: 0 success, 2 a usage error or a
// refused input; a command documents any other code it uses.
struct CliCommand
{
    const char *name;
    const char *synopsis; // shown by --help, after "rigwarden-cli "
    const char *summary;
    int (*run)(const QStringList &arguments);
};

namespace Cli {

constexpr int ExitUsage = 2;

// Every command, in the order --help lists them.
QList<CliCommand> commands();

// Writes one line to stderr, prefixed with "rigwarden-cli: ".
void error(const QString &message);
// Writes text to stdout as it is.
void print(const QString &text);
// The error of the first write to stdout that failed (a full disk, a file
// size limit), 0 when every write went through.
int outputError();

// Whether two paths name the same file: other spellings, symbolic links and
// hard links included. False when either does not exist.
bool isSameFile(const QString &first, const QString &second);

// A command that a signal (Ctrl-C) cut short notes it here after it has ended
// its work cleanly; the process then ends by that signal once everything is
// torn down, so that a calling shell or script sees the interruption (a loop
// over projects stops instead of going on with the next one).
void setInterruptedBy(int signalNumber);
int interruptingSignal(); // 0: none

} // namespace Cli
