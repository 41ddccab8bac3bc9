#pragma once

#include "upload_schedule.h"

#include <QUndoCommand>

// Empties the upload schedule. Undo puts back the times that are still
// ahead: an upload whose time passed meanwhile is not started late.
class ClearScheduledUploadsCommand : public QUndoCommand
{
public:
    explicit ClearScheduledUploadsCommand(QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

private:
    UploadSchedule m_saved;
};
