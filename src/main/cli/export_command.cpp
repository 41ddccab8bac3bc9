#include "export_command.h"

#include "lum_application.h"
#include "lum_document.h"
#include "project_json.h"
#include "project_opening.h"

#include <QCoreApplication>
#include <QJsonDocument>

namespace ExportCommand {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ExportCommand", text);
}
} // namespace

CliCommand command()
{
    return {"export", "export PROJECT.lmp",
            "print the project as JSON (passwords only as whether one is set)", &run};
}

int run(const QStringList &arguments)
{
    if (arguments.size() != 1) {
        Cli::error(tr("export takes one project; usage: rigwarden-cli export PROJECT.lmp"));
        return Cli::ExitUsage;
    }
    LumDocument &document = *LumApplication::instance()->document();
    // As the file holds it: what changed on disk since is not the file's.
    if (const int refused = ProjectOpening::open(arguments.at(0), document, false))
        return refused;
    Cli::print(QString::fromUtf8(
        QJsonDocument(ProjectJson::toJson(document)).toJson(QJsonDocument::Indented)));
    return 0;
}

} // namespace ExportCommand
