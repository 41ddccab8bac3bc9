#include "schedule_upload_command.h"

#include <QCoreApplication>

namespace {

QString textFor(const QDateTime &time)
{
    return time.isValid() ? QCoreApplication::translate("ScheduleUploadCommand", "Schedule Upload")
                          : QCoreApplication::translate("ScheduleUploadCommand",
                                                        "Remove From Scheduled Upload");
}

} // namespace

ScheduleUploadCommand::ScheduleUploadCommand(uint controllerId, const QDateTime &time,
                                             QUndoCommand *parent)
    : SwapCommand(textFor(time), time, parent), m_controllerId(controllerId)
{}

QDateTime ScheduleUploadCommand::currentValue() const
{
    return document()->uploadSchedule().scheduledTime(m_controllerId);
}

void ScheduleUploadCommand::apply(const QDateTime &time)
{
    UploadSchedule &schedule = document()->uploadSchedule();
    if (time.isValid())
        schedule.schedule(m_controllerId, time);
    else
        schedule.unschedule(m_controllerId);
}
