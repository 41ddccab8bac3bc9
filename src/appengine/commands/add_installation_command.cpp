#include "add_installation_command.h"

#include "lum_application.h"
#include "lum_document.h"

#include <QCoreApplication>

AddInstallationCommand::AddInstallationCommand(uint groupId, uint count, QUndoCommand *parent)
    : QUndoCommand(QCoreApplication::translate("AddInstallationCommand", "Add Installation"),
                   parent),
      m_groupId(groupId), m_count(count)
{}

void AddInstallationCommand::redo()
{
    LumDocument *document = LumApplication::instance()->document();
    if (!m_created) {
        // All or nothing: a half-made addition would not be what was asked for.
        if (m_count == 0 || !document->hasRoomForInstallations(m_groupId, m_count)) {
            setObsolete(true);
            return;
        }
        for (uint i = 0; i < m_count; ++i)
            m_installationIds.append(document->addInstallation(m_groupId));
        m_created = true;
        InstallationAddedEvent event(idSet(), false);
        sendChangeEvent(event);
        return;
    }
    const bool rescheduled = m_removed.restoreAll(*document, m_installationIds);
    InstallationAddedEvent event(idSet(), true);
    sendChangeEvent(event);
    if (rescheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}

void AddInstallationCommand::undo()
{
    if (!m_created)
        return;
    LumDocument *document = LumApplication::instance()->document();
    const bool unscheduled = m_removed.takeAll(*document, m_installationIds);
    InstallationRemovedEvent event(idSet());
    sendChangeEvent(event);
    if (unscheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}

IdSet AddInstallationCommand::idSet() const
{
    return IdSet(m_installationIds.cbegin(), m_installationIds.cend());
}
