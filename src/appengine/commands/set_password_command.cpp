#include "set_password_command.h"

#include <QCoreApplication>

namespace {

QString kindName(int kind)
{
    switch (kind) {
    case SetPasswordCommand::Kind_InstallationGroup:
        return QCoreApplication::translate("SetPasswordCommand", "Installation Group");
    case SetPasswordCommand::Kind_Installation:
        return QCoreApplication::translate("SetPasswordCommand", "Installation");
    case SetPasswordCommand::Kind_Controller:
        return QCoreApplication::translate("SetPasswordCommand", "Controller");
    default:
        return QString();
    }
}

} // namespace

SetPasswordCommand::SetPasswordCommand(int kind, uint id, const QString &password,
                                       QUndoCommand *parent)
    : SwapCommand(
          QCoreApplication::translate("SetPasswordCommand", "Set %1 Password").arg(kindName(kind)),
          password, parent),
      m_kind(kind), m_id(id)
{}

QString SetPasswordCommand::currentValue() const
{
    switch (m_kind) {
    case Kind_InstallationGroup:
        return document()->group(m_id)->password();
    case Kind_Installation:
        return document()->installation(m_id)->password();
    case Kind_Controller:
        return document()->controller(m_id)->password();
    default:
        return QString();
    }
}

void SetPasswordCommand::apply(const QString &password)
{
    switch (m_kind) {
    case Kind_InstallationGroup:
        document()->group(m_id)->setPassword(password);
        break;
    case Kind_Installation:
        document()->installation(m_id)->setPassword(password);
        break;
    case Kind_Controller:
        document()->controller(m_id)->setPassword(password);
        break;
    default:
        break;
    }
}
