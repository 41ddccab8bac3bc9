#include "set_controller_hostname_command.h"

#include <QCoreApplication>

SetControllerHostnameCommand::SetControllerHostnameCommand(uint controllerId,
                                                           const QString &hostname,
                                                           QUndoCommand *parent)
    : SwapCommand(
          QCoreApplication::translate("SetControllerHostnameCommand", "Set Controller Hostname"),
          hostname, parent),
      m_id(controllerId)
{}

QString SetControllerHostnameCommand::currentValue() const
{
    return document()->controller(m_id)->hostname();
}

void SetControllerHostnameCommand::apply(const QString &value)
{
    document()->controller(m_id)->setHostname(value);
}
