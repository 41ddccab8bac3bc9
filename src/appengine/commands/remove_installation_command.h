#pragma once

#include "removed_installations.h"

#include <QUndoCommand>

// Removes an installation with its controllers; scheduled controllers leave
// the schedule and return to their times on undo.
class RemoveInstallationCommand : public QUndoCommand
{
public:
    explicit RemoveInstallationCommand(uint installationId, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

private:
    uint m_installationId;
    RemovedInstallations m_removed;
};
