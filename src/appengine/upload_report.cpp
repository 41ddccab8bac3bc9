#include "upload_report.h"

#include "app_constants.h"
#include "lum_assert.h"
#include "lum_document.h"

#include <QHostInfo>
#include <QStringList>

namespace {
// Report identifiers of the whole run of the process.
uint nextReportId = 0;
} // namespace

UploadReport::UploadReport(const LumDocument *document, const IdSet &controllerIds, bool manual,
                           QObject *parent)
    : QObject(parent), m_id(nextReportId++), m_manual(manual)
{
    for (const uint controllerId : controllerIds) {
        const Controller *controller = document->controller(controllerId);
        ControllerResult &result = m_results[controllerId];
        if (document->installationExists(controller->installationId()))
            result.installationName = document->installation(controller->installationId())->name();
        result.controllerName = controllerName(*controller);
        result.hostname = controller->hostname();
    }
}

void UploadReport::setResult(uint controllerId, State result, const QString &message)
{
    ControllerResult &entry = m_results[controllerId];
    const bool wasCounted = entry.result != State_None;
    entry.result = result;
    entry.message = message;
    entry.time = QDateTime::currentDateTime();
    const bool counted = result != State_None;
    if (counted == wasCounted)
        return;
    int &completeCount = m_completeCount;
    completeCount += counted ? 1 : -1;
    LUM_ASSERT(completeCount >= 0);
}

int UploadReport::failedCount() const
{
    int count = 0;
    for (const auto &[controllerId, result] : m_results) {
        if (result.result == State_Failed)
            ++count;
    }
    return count;
}

QString UploadReport::controllerName(const Controller &controller)
{
    const std::shared_ptr<const ControllerTemplate> controllerTemplate =
        controller.controllerTemplate();
    return controllerTemplate->name().isEmpty()
               ? tr("Controller %1").arg(controllerTemplate->number())
               : controllerTemplate->name();
}

QString UploadReport::stateWord(uint state)
{
    LUM_ASSERT(state < State_MAX);
    static const char *const words[State_MAX] = {"         ", "  SUCCESS", "CANCELLED", "   FAILED",
                                                 "  IGNORED"};
    return QString::fromLatin1(words[state]);
}

QString UploadReport::text() const
{
    const QString separator = QStringLiteral(" - ");
    QStringList lines;
    lines << tr("This report was generated on %1/%2")
                     .arg(QHostInfo::localDomainName(), QHostInfo::localHostName()) +
                 tr(" by %1 v%2").arg(AppConstants::displayName(), AppConstants::versionText());
    lines << QString();
    lines << tr("Upload started at %1").arg(m_startTime.toString(Qt::TextDate));
    lines << QString();
    for (const auto &[controllerId, result] : m_results) {
        QString line = stateWord(result.result) + separator + result.installationName + separator +
                       result.controllerName + separator + result.hostname;
        if (!result.message.isEmpty())
            line += separator + result.message;
        line += separator + result.time.toString(Qt::TextDate);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
