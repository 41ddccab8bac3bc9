#pragma once

#include "swap_command.h"

// Renames an installation. Undoing a first rename stores the default name
// that was shown.
class SetInstallationNameCommand : public SwapCommand<QString>
{
public:
    SetInstallationNameCommand(uint installationId, const QString &name,
                               QUndoCommand *parent = nullptr);

protected:
    QString currentValue() const override;
    void apply(const QString &value) override;

private:
    uint m_id;
};
