#include "schedule_upload_group_command.h"

#include "change_events.h"

ScheduleUploadGroupCommand::ScheduleUploadGroupCommand(QUndoCommand *parent) : QUndoCommand(parent)
{}

void ScheduleUploadGroupCommand::redo()
{
    QUndoCommand::redo();
    ScheduledUploadTimeChangedEvent event;
    sendChangeEvent(event);
}

void ScheduleUploadGroupCommand::undo()
{
    QUndoCommand::undo();
    ScheduledUploadTimeChangedEvent event;
    sendChangeEvent(event);
}
