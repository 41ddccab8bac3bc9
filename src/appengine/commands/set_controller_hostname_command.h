#pragma once

#include "swap_command.h"

// Moves a controller to another host; it is discovered again there.
class SetControllerHostnameCommand : public SwapCommand<QString>
{
public:
    SetControllerHostnameCommand(uint controllerId, const QString &hostname,
                                 QUndoCommand *parent = nullptr);

protected:
    QString currentValue() const override;
    void apply(const QString &value) override;

private:
    uint m_id;
};
