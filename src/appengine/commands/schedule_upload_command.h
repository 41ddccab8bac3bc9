#pragma once

#include "swap_command.h"

#include <QDateTime>

// Schedules one controller's upload at a time, or takes it off the schedule
// for a null time. Sends no event: it runs inside a ScheduleUploadGroupCommand,
// which announces the change once for all its controllers.
class ScheduleUploadCommand : public SwapCommand<QDateTime>
{
public:
    ScheduleUploadCommand(uint controllerId, const QDateTime &time, QUndoCommand *parent = nullptr);

protected:
    QDateTime currentValue() const override;
    void apply(const QDateTime &time) override;

private:
    uint m_controllerId;
};
