#pragma once

// Crash reporting. Once installed, a fatal signal (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGABRT: so also std::terminate, an uncaught exception and a pure
// virtual call) or a failed assertion writes a text dump into the folder
// (see CrashDump), renames it after the local time ("<prefix>_MMDD_HH_MM_SS.dmp"),
// tells the user where it is and lets the process end by the signal, as it
// would have without us. One dump per process, however many threads crash.

#include <QString>

// Runs in the crashing process after the message, inside the signal handler:
// only async-signal-safe calls. Given the dump's path, empty when no dump
// could be written.
using CrashCallback = void (*)(const char *dumpPath);

// Installs the one handler of the process; false when one is installed
// already or when the folder cannot be made (a plain file in its place).
// The folder is created with its parents. An empty prefix means "core_dump";
// a longer one than 180 characters is cut there. A fatal signal that has a
// handler already (a sanitizer's, a test runner's) keeps it.
bool installCrashHandler(const QString &folder, const QString &prefix = QString(),
                         CrashCallback callback = nullptr);

// Writes a dump of the calling thread now and goes on; nothing without a
// handler. A failed assertion writes its dump this way before the process
// ends, with its text in the dump.
void writeDumpNow();

// The program that shows the message in a window: it is started from the
// handler with the dump's path as its one argument. Without it, without a
// display, or when it fails, the message goes to stderr.
void setCrashMessageProgram(const QString &path);

// The name of the message program in the folder of the executables.
QString crashMessageProgramName();
