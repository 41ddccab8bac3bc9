#include "set_installation_template_command.h"

#include <QCoreApplication>

SetInstallationTemplateCommand::SetInstallationTemplateCommand(
    uint groupId, const InstallationTemplatePtr &installationTemplate, QUndoCommand *parent)
    : SwapCommand(QCoreApplication::translate("SetInstallationTemplateCommand",
                                              "Set Installation Template"),
                  installationTemplate, parent),
      m_groupId(groupId)
{}

InstallationTemplatePtr SetInstallationTemplateCommand::currentValue() const
{
    return document()->group(m_groupId)->installationTemplate();
}

void SetInstallationTemplateCommand::apply(const InstallationTemplatePtr &installationTemplate)
{
    document()->setInstallationTemplate(m_groupId, installationTemplate);
    InstallationTemplateChangedEvent event(m_groupId);
    sendChangeEvent(event);
}
