#include "add_installation_group_command.h"

#include "lum_application.h"
#include "lum_document.h"

#include <QCoreApplication>

AddInstallationGroupCommand::AddInstallationGroupCommand(
    const InstallationTemplatePtr &installationTemplate, QUndoCommand *parent)
    : QUndoCommand(
          QCoreApplication::translate("AddInstallationGroupCommand", "Add Installation Group"),
          parent),
      m_template(installationTemplate)
{}

AddInstallationGroupCommand::~AddInstallationGroupCommand() = default;

void AddInstallationGroupCommand::redo()
{
    LumDocument *document = LumApplication::instance()->document();
    if (!m_created) {
        const uint groupId = document->addGroup(*m_template);
        if (groupId == LumDocument::NoId) {
            setObsolete(true);
            return;
        }
        m_groupId = groupId;
        m_created = true;
        InstallationGroupAddedEvent event(m_groupId, false);
        sendChangeEvent(event);
        return;
    }
    document->insertGroup(std::move(m_group), m_groupId);
    const bool rescheduled = m_removed.restoreAll(*document, m_installationIds);
    InstallationGroupAddedEvent event(m_groupId, true);
    sendChangeEvent(event);
    if (rescheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}

void AddInstallationGroupCommand::undo()
{
    if (!m_created)
        return;
    LumDocument *document = LumApplication::instance()->document();
    m_installationIds = document->group(m_groupId)->installationIds();
    const bool unscheduled = m_removed.takeAll(*document, m_installationIds);
    m_group = document->removeGroup(m_groupId);
    InstallationGroupRemovedEvent event(m_groupId);
    sendChangeEvent(event);
    if (unscheduled) {
        ScheduledUploadTimeChangedEvent scheduleEvent;
        sendChangeEvent(scheduleEvent);
    }
}
