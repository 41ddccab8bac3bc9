#include "upgrade_command.h"

#include "lum_application.h"
#include "lum_document.h"
#include "project_opening.h"

#include <QCoreApplication>

namespace UpgradeCommand {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("UpgradeCommand", text);
}
} // namespace

CliCommand command()
{
    return {"upgrade", "upgrade IN.lmp OUT.lmp",
            "open a project of any version and save it in the current version", &run};
}

int run(const QStringList &arguments)
{
    if (arguments.size() != 2) {
        Cli::error(tr("upgrade takes a project and the file to write; usage: rigwarden-cli "
                      "upgrade IN.lmp OUT.lmp"));
        return Cli::ExitUsage;
    }
    LumDocument &document = *LumApplication::instance()->document();
    if (const int refused = ProjectOpening::open(arguments.at(0), document, true))
        return refused;
    QString reason;
    if (!document.saveAs(arguments.at(1), &reason)) {
        Cli::error(tr("cannot write %1: %2").arg(arguments.at(1), reason));
        return 1;
    }
    return 0;
}

} // namespace UpgradeCommand
