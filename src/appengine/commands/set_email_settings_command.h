#pragma once

#include "mail_settings.h"
#include "swap_command.h"

// Replaces the project's mail settings, all fields at once.
class SetEmailSettingsCommand : public SwapCommand<MailSettings>
{
public:
    explicit SetEmailSettingsCommand(const MailSettings &settings, QUndoCommand *parent = nullptr);

protected:
    MailSettings currentValue() const override;
    void apply(const MailSettings &settings) override;
};
