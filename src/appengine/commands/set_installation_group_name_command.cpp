#include "set_installation_group_name_command.h"

#include <QCoreApplication>

SetInstallationGroupNameCommand::SetInstallationGroupNameCommand(uint groupId, const QString &name,
                                                                 QUndoCommand *parent)
    : SwapCommand(QCoreApplication::translate("SetInstallationGroupNameCommand",
                                              "Set Installation Group Name"),
                  name, parent),
      m_id(groupId)
{}

QString SetInstallationGroupNameCommand::currentValue() const
{
    return document()->group(m_id)->name();
}

void SetInstallationGroupNameCommand::apply(const QString &value)
{
    document()->group(m_id)->setName(value);
}
