#pragma once

#include "swap_command.h"

// Renames a group (its template). Undoing a first rename stores the
// default name that was shown.
class SetInstallationGroupNameCommand : public SwapCommand<QString>
{
public:
    SetInstallationGroupNameCommand(uint groupId, const QString &name,
                                    QUndoCommand *parent = nullptr);

protected:
    QString currentValue() const override;
    void apply(const QString &value) override;

private:
    uint m_id;
};
