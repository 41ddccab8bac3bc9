#pragma once

#include "removed_installations.h"

#include <QUndoCommand>

// Adds a number of installations to a group, each with one controller per
// controller template. The caller checks for room first
// (LumDocument::hasRoomForInstallations); without room for all of them the
// command adds none and leaves no step in the history.
class AddInstallationCommand : public QUndoCommand
{
public:
    AddInstallationCommand(uint groupId, uint count, QUndoCommand *parent = nullptr);

    void redo() override;
    void undo() override;

    // The installations created, once the command has run.
    const QList<uint> &installationIds() const { return m_installationIds; }

private:
    IdSet idSet() const;

    uint m_groupId;
    uint m_count;
    bool m_created = false;
    QList<uint> m_installationIds;
    RemovedInstallations m_removed;
};
