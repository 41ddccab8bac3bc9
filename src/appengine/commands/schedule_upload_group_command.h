#pragma once

#include <QUndoCommand>

// Holds the ScheduleUploadCommand of each controller of one scheduling
// step and announces the schedule's change once, after all of them ran.
class ScheduleUploadGroupCommand : public QUndoCommand
{
public:
    explicit ScheduleUploadGroupCommand(QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;
};
