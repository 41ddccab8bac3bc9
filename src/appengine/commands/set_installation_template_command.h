#pragma once

#include "installation_template.h"
#include "swap_command.h"

// Gives a group another installation template; its controllers follow.
class SetInstallationTemplateCommand : public SwapCommand<InstallationTemplatePtr>
{
public:
    SetInstallationTemplateCommand(uint groupId,
                                   const InstallationTemplatePtr &installationTemplate,
                                   QUndoCommand *parent = nullptr);

protected:
    InstallationTemplatePtr currentValue() const override;
    void apply(const InstallationTemplatePtr &installationTemplate) override;

private:
    uint m_groupId;
};
