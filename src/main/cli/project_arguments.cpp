#include "project_arguments.h"

#include "cli_command.h"
#include "lum_document.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectArguments", text);
}

// The value of "--name VALUE" or "--name=VALUE" at `*index`, which moves past
// it; nothing when the argument is another option or the value is missing.
std::optional<QString> optionValue(const QStringList &arguments, qsizetype *index,
                                   const QString &name)
{
    const QString argument = arguments.at(*index);
    if (argument.startsWith(name + QLatin1Char('=')))
        return argument.mid(name.size() + 1);
    if (argument != name || *index + 1 >= arguments.size())
        return std::nullopt;
    ++*index;
    return arguments.at(*index);
}

std::nullopt_t usageError(const QString &message, const QString &usage)
{
    Cli::error(tr("%1; usage: rigwarden-cli %2").arg(message, usage));
    return std::nullopt;
}

} // namespace

std::optional<ProjectArguments> ProjectArguments::parse(const QStringList &arguments, int options,
                                                        const QString &usage)
{
    const QString controllerOption = QStringLiteral("--controller");
    const QString logLevelOption = QStringLiteral("--log-level");
    const QString parallelOption = QStringLiteral("--parallel");
    ProjectArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        if ((options & Option_Controller) && argument.startsWith(controllerOption)) {
            const std::optional<QString> value = optionValue(arguments, &i, controllerOption);
            bool ok = false;
            const uint id = value ? value->toUInt(&ok) : 0;
            if (!ok || id >= LumDocument::TableMaximum)
                return usageError(tr("--controller takes a controller identifier, 0 to %1")
                                      .arg(LumDocument::TableMaximum - 1),
                                  usage);
            parsed.controllerIds.insert(id);
        } else if ((options & Option_LogLevel) && argument.startsWith(logLevelOption)) {
            const std::optional<QString> value = optionValue(arguments, &i, logLevelOption);
            bool ok = false;
            parsed.logLevel = value ? value->toInt(&ok) : 0;
            if (!ok || parsed.logLevel < 0 || parsed.logLevel > 2)
                return usageError(tr("--log-level takes 0, 1 or 2"), usage);
        } else if ((options & Option_Parallel) && argument.startsWith(parallelOption)) {
            const std::optional<QString> value = optionValue(arguments, &i, parallelOption);
            bool ok = false;
            parsed.parallel = value ? value->toInt(&ok) : 0;
            if (!ok || parsed.parallel < 0 || parsed.parallel > int(LumDocument::TableMaximum))
                return usageError(tr("--parallel takes the number of uploads at once, 0 (no "
                                     "limit) to %1")
                                      .arg(LumDocument::TableMaximum),
                                  usage);
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usageError(tr("unknown option \"%1\"").arg(argument), usage);
        } else if (argument.isEmpty()) {
            return usageError(tr("an empty argument is no project"), usage);
        } else if (parsed.project.isEmpty()) {
            parsed.project = argument;
        } else {
            return usageError(tr("one project only, \"%1\" is too many").arg(argument), usage);
        }
    }
    if (parsed.project.isEmpty())
        return usageError(tr("no project given"), usage);
    return parsed;
}

std::optional<IdSet> ProjectArguments::selectedControllers(const LumDocument &document) const
{
    if (controllerIds.empty()) {
        IdSet every;
        for (const Controller *controller : document.controllers())
            every.insert(controller->getId());
        return every;
    }
    for (const uint controllerId : controllerIds) {
        if (!document.controllerExists(controllerId)) {
            Cli::error(tr("%1 has no controller %2; rigwarden-cli status %1 lists them")
                           .arg(project)
                           .arg(controllerId));
            return std::nullopt;
        }
    }
    return controllerIds;
}
