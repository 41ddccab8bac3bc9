#pragma once

#include "swap_command.h"

// Sets the enciphered password of a group, an installation or a controller.
class SetPasswordCommand : public SwapCommand<QString>
{
public:
    enum Kind
    {
        Kind_InstallationGroup = 0,
        Kind_Installation = 1,
        Kind_Controller = 2
    };

    SetPasswordCommand(int kind, uint id, const QString &password, QUndoCommand *parent = nullptr);

protected:
    QString currentValue() const override;
    void apply(const QString &password) override;

private:
    int m_kind;
    uint m_id;
};
