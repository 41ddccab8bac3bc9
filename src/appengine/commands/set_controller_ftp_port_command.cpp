#include "set_controller_ftp_port_command.h"

#include <QCoreApplication>

SetControllerFtpPortCommand::SetControllerFtpPortCommand(uint controllerId, uint port,
                                                         QUndoCommand *parent)
    : SwapCommand(
          QCoreApplication::translate("SetControllerFtpPortCommand", "Set Controller Ftp Port"),
          port, parent),
      m_id(controllerId)
{}

uint SetControllerFtpPortCommand::currentValue() const
{
    return document()->controller(m_id)->ftpPort();
}

void SetControllerFtpPortCommand::apply(const uint &value)
{
    document()->controller(m_id)->setFtpPort(value);
}
