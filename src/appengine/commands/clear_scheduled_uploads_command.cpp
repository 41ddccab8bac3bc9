#include "clear_scheduled_uploads_command.h"

#include "change_events.h"
#include "lum_application.h"
#include "lum_document.h"

#include <QCoreApplication>

ClearScheduledUploadsCommand::ClearScheduledUploadsCommand(QUndoCommand *parent)
    : QUndoCommand(
          QCoreApplication::translate("ClearScheduledUploadsCommand", "Clear Scheduled Uploads"),
          parent)
{}

void ClearScheduledUploadsCommand::redo()
{
    UploadSchedule &schedule = LumApplication::instance()->document()->uploadSchedule();
    // Assignment drops the times that have passed.
    m_saved = schedule;
    schedule.clear();
    ScheduledUploadTimeChangedEvent event;
    sendChangeEvent(event);
}

void ClearScheduledUploadsCommand::undo()
{
    LumApplication::instance()->document()->uploadSchedule() = m_saved;
    ScheduledUploadTimeChangedEvent event;
    sendChangeEvent(event);
}
