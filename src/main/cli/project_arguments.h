#pragma once

#include "change_events.h"

#include <QString>
#include <QStringList>

#include <optional>

class LumDocument;

// The arguments of the commands that work on a project's controllers:
//   PROJECT.lmp [--controller ID]... [--log-level N] [--parallel N]
// either option as "--name VALUE" or "--name=VALUE".
struct ProjectArguments
{
    enum Option
    {
        Option_Controller = 0x1,
        Option_LogLevel = 0x2,
        Option_Parallel = 0x4
    };

    QString project;
    IdSet controllerIds; // empty: every controller
    int logLevel = 0;
    int parallel = -1; // uploads under way at once; 0 no limit, -1 the preference's

    // The arguments of `command`, which takes the options given; the error
    // is written (naming `usage`) and nothing is returned when they are wrong.
    static std::optional<ProjectArguments> parse(const QStringList &arguments, int options,
                                                 const QString &usage);

    // The chosen controllers of the open project, every one when none was
    // chosen; nothing, with the error written, when one does not exist.
    std::optional<IdSet> selectedControllers(const LumDocument &document) const;
};
