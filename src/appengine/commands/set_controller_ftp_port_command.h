#pragma once

#include "swap_command.h"

// Changes a controller's FTP port.
class SetControllerFtpPortCommand : public SwapCommand<uint>
{
public:
    SetControllerFtpPortCommand(uint controllerId, uint port, QUndoCommand *parent = nullptr);

protected:
    uint currentValue() const override;
    void apply(const uint &value) override;

private:
    uint m_id;
};
