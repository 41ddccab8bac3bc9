#pragma once

#include "removed_installations.h"

#include <QUndoCommand>

#include <memory>

class InstallationGroup;

// Removes a group with its installations and controllers; scheduled
// controllers leave the schedule and return to their times on undo.
class RemoveInstallationGroupCommand : public QUndoCommand
{
public:
    explicit RemoveInstallationGroupCommand(uint groupId, QUndoCommand *parent = nullptr);
    ~RemoveInstallationGroupCommand() override;

    void redo() override;
    void undo() override;

private:
    uint m_groupId;
    std::unique_ptr<InstallationGroup> m_group;
    QList<uint> m_installationIds;
    bool m_expanded = false;
    RemovedInstallations m_removed;
};
