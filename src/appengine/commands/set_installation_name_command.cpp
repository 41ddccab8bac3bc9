#include "set_installation_name_command.h"

#include <QCoreApplication>

SetInstallationNameCommand::SetInstallationNameCommand(uint installationId, const QString &name,
                                                       QUndoCommand *parent)
    : SwapCommand(
          QCoreApplication::translate("SetInstallationNameCommand", "Set Installation Name"), name,
          parent),
      m_id(installationId)
{}

QString SetInstallationNameCommand::currentValue() const
{
    return document()->installation(m_id)->name();
}

void SetInstallationNameCommand::apply(const QString &value)
{
    document()->installation(m_id)->setName(value);
}
