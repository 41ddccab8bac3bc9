#include "set_email_settings_command.h"

#include <QCoreApplication>

SetEmailSettingsCommand::SetEmailSettingsCommand(const MailSettings &settings, QUndoCommand *parent)
    : SwapCommand(QCoreApplication::translate("SetEmailSettingsCommand", "Set Email Settings"),
                  settings, parent)
{}

MailSettings SetEmailSettingsCommand::currentValue() const
{
    return document()->mailSettings();
}

void SetEmailSettingsCommand::apply(const MailSettings &settings)
{
    document()->setMailSettings(settings);
}
