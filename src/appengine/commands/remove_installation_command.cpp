#include "remove_installation_command.h"

#include "lum_application.h"
#include "lum_document.h"

#include <QCoreApplication>

RemoveInstallationCommand::RemoveInstallationCommand(uint installationId, QUndoCommand *parent)
    : QUndoCommand(QCoreApplication::translate("RemoveInstallationCommand", "Remove Installation"),
                   parent),
      m_installationId(installationId)
{}

void RemoveInstallationCommand::redo()
{
    LumDocument *document = LumApplication::instance()->document();
    const bool unscheduled = m_removed.take(*document, m_installationId);
    InstallationRemovedEvent event({m_installationId});
    sendChangeEvent(event);
    if (unscheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}

void RemoveInstallationCommand::undo()
{
    LumDocument *document = LumApplication::instance()->document();
    const bool rescheduled = m_removed.restore(*document, m_installationId);
    InstallationAddedEvent event({m_installationId}, true);
    sendChangeEvent(event);
    if (rescheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}
