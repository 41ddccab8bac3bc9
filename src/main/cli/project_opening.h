#pragma once

#include <QString>

class LumDocument;
struct ProjectArguments;

// Opens a project for a command as the application opens one: the file is
// loaded, a project with a master password asks for it, and templates whose
// show files changed on disk since they were read are analysed again.
//
// The master password is asked on the terminal without echo when stdin is a
// terminal; otherwise it is taken from RIGWARDEN_MASTER_PASSWORD.
namespace ProjectOpening {

// 0 when the project is open; otherwise the error was written and the exit
// code (Cli::ExitUsage) is returned.
int open(const QString &path, LumDocument &document, bool reanalyseShowFiles);

// Opens the project of a command that uploads (upload, run) into the
// application's document, as open() does, with the open-file limit raised for
// many controllers, the log kept up to the level asked for, and the media
// transcoder made first so that the project's media are queued for conversion,
// and the limit of simultaneous uploads given by --parallel, if any.
// The command's log printer exists already, to show what the opening logs.
int openForUpload(const ProjectArguments &arguments);

// The master password typed on the terminal, without echo; null when
// stdin is not a terminal.
QString readFromTerminal(const QString &prompt);

} // namespace ProjectOpening
