#pragma once

#include "swap_command.h"

// Changes a controller's web port; it is discovered again.
class SetControllerHttpPortCommand : public SwapCommand<uint>
{
public:
    SetControllerHttpPortCommand(uint controllerId, uint port, QUndoCommand *parent = nullptr);

protected:
    uint currentValue() const override;
    void apply(const uint &value) override;

private:
    uint m_id;
};
