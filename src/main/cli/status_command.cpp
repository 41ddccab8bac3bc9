#include "status_command.h"

#include "discovery_wait.h"
#include "lum_application.h"
#include "lum_document.h"
#include "project_arguments.h"
#include "project_opening.h"
#include "upload_report.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace StatusCommand {

namespace {

const char Usage[] = "status PROJECT.lmp [--controller ID]...";

QString tr(const char *text)
{
    return QCoreApplication::translate("StatusCommand", text);
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString discoveryText(DiscoveryState state)
{
    switch (state) {
    case Discovery_Found:
        return tr("found");
    case Discovery_WrongType:
        return tr("wrong type");
    default:
        return tr("not found");
    }
}

QString firmwareText(const FirmwareVersion &firmware)
{
    if (firmware == FirmwareVersion())
        return QStringLiteral("-");
    return QStringLiteral("%1.%2.%3").arg(firmware.major).arg(firmware.minor).arg(firmware.point);
}

// A field holds no tab or line break, whatever a controller (or a project)
// says: one line per controller, one column per field.
QString asField(QString text)
{
    for (QChar &character : text) {
        if (character.category() == QChar::Other_Control)
            character = QLatin1Char(' ');
    }
    return text;
}

QString statusLine(const LumDocument &document, const Controller &controller)
{
    const ControllerStatus &status = controller.status();
    const bool answered = controller.discoveryState() != Discovery_NotFound;
    const QString installation = document.installationExists(controller.installationId())
                                     ? document.installation(controller.installationId())->name()
                                     : QString();
    const QStringList fields{
        QString::number(controller.getId()),
        orDash(installation),
        UploadReport::controllerName(controller),
        QStringLiteral("%1:%2").arg(controller.hostname()).arg(controller.httpPort()),
        discoveryText(controller.discoveryState()),
        answered ? HardwareType::name(status.hardwareType) : QStringLiteral("-"),
        firmwareText(status.firmwareVersion),
        orDash(status.projectName),
        status.projectUuid.isNull() ? QStringLiteral("-")
                                    : status.projectUuid.toString(QUuid::WithoutBraces)};
    QStringList cleaned;
    for (const QString &field : fields)
        cleaned << asField(field);
    return cleaned.join(QLatin1Char('\t'));
}

} // namespace

CliCommand command()
{
    return {"status", Usage,
            "discover the controllers and print what each reports, one tab-separated line each",
            &run};
}

int run(const QStringList &arguments)
{
    const std::optional<ProjectArguments> parsed = ProjectArguments::parse(
        arguments, ProjectArguments::Option_Controller, QString::fromLatin1(Usage));
    if (!parsed)
        return Cli::ExitUsage;
    LumDocument &document = *LumApplication::instance()->document();
    if (const int refused = ProjectOpening::open(parsed->project, document, false))
        return refused;
    const std::optional<IdSet> selected = parsed->selectedControllers(document);
    if (!selected)
        return Cli::ExitUsage;

    DiscoveryWait wait(&document, *selected);
    QEventLoop loop;
    QObject::connect(&wait, &DiscoveryWait::finished, &loop, &QEventLoop::quit);
    wait.start();
    loop.exec();

    bool allFound = true;
    QString lines;
    for (const uint controllerId : *selected) {
        const Controller &controller = *document.controller(controllerId);
        allFound = allFound && controller.discoveryState() == Discovery_Found;
        lines += statusLine(document, controller) + QLatin1Char('\n');
    }
    Cli::print(lines);
    return allFound ? 0 : 1;
}

} // namespace StatusCommand
