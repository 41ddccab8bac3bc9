#include "remove_installation_group_command.h"

#include "lum_application.h"
#include "lum_document.h"

#include <QCoreApplication>

RemoveInstallationGroupCommand::RemoveInstallationGroupCommand(uint groupId, QUndoCommand *parent)
    : QUndoCommand(QCoreApplication::translate("RemoveInstallationGroupCommand",
                                               "Remove Installation Group"),
                   parent),
      m_groupId(groupId)
{}

RemoveInstallationGroupCommand::~RemoveInstallationGroupCommand() = default;

void RemoveInstallationGroupCommand::redo()
{
    LumDocument *document = LumApplication::instance()->document();
    m_installationIds = document->group(m_groupId)->installationIds();
    const bool unscheduled = m_removed.takeAll(*document, m_installationIds);
    m_expanded = document->isGroupExpanded(m_groupId);
    m_group = document->removeGroup(m_groupId);
    InstallationGroupRemovedEvent event(m_groupId);
    sendChangeEvent(event);
    if (unscheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}

void RemoveInstallationGroupCommand::undo()
{
    LumDocument *document = LumApplication::instance()->document();
    document->insertGroup(std::move(m_group), m_groupId);
    document->setGroupExpanded(m_groupId, m_expanded);
    const bool rescheduled = m_removed.restoreAll(*document, m_installationIds);
    InstallationGroupAddedEvent event(m_groupId, true);
    sendChangeEvent(event);
    if (rescheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}
