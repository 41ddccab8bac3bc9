#include "set_controller_http_port_command.h"

#include <QCoreApplication>

SetControllerHttpPortCommand::SetControllerHttpPortCommand(uint controllerId, uint port,
                                                           QUndoCommand *parent)
    : SwapCommand(
          QCoreApplication::translate("SetControllerHttpPortCommand", "Set Controller Http Port"),
          port, parent),
      m_id(controllerId)
{}

uint SetControllerHttpPortCommand::currentValue() const
{
    return document()->controller(m_id)->httpPort();
}

void SetControllerHttpPortCommand::apply(const uint &value)
{
    document()->controller(m_id)->setHttpPort(value);
}
