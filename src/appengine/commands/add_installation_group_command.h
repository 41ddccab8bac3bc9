#pragma once

#include "installation_template.h"
#include "removed_installations.h"

#include <QUndoCommand>

#include <memory>

class InstallationGroup;

// Adds a group built from a copy of the template. Undo takes the group out
// with any installations it has; redo puts everything back under the same
// identifiers. The caller checks for room first (LumDocument::hasRoomForGroup);
// without room the command adds nothing and leaves no step in the history.
class AddInstallationGroupCommand : public QUndoCommand
{
public:
    explicit AddInstallationGroupCommand(const InstallationTemplatePtr &installationTemplate,
                                         QUndoCommand *parent = nullptr);
    ~AddInstallationGroupCommand() override;

    void redo() override;
    void undo() override;

    // The group's identifier once the command has run.
    uint groupId() const { return m_groupId; }

private:
    InstallationTemplatePtr m_template;
    uint m_groupId = 0;
    bool m_created = false;
    std::unique_ptr<InstallationGroup> m_group;
    QList<uint> m_installationIds;
    RemovedInstallations m_removed;
};
