#include "installation_template.h"

#include "lum_assert.h"

void InstallationTemplate::setControllerTemplates(const ControllerTemplates &controllerTemplates)
{
    for (const ControllerTemplatePtr &controllerTemplate : controllerTemplates)
        LUM_ASSERT(controllerTemplate != nullptr);
    m_controllerTemplates = controllerTemplates;
}

void InstallationTemplate::appendControllerTemplate(const ControllerTemplatePtr &controllerTemplate)
{
    LUM_ASSERT(controllerTemplate != nullptr);
    m_controllerTemplates.append(controllerTemplate);
}

InstallationTemplatePtr InstallationTemplate::deepCopy() const
{
    auto copy = std::make_shared<InstallationTemplate>(m_name);
    for (const ControllerTemplatePtr &controllerTemplate : m_controllerTemplates)
        copy->m_controllerTemplates.append(
            std::make_shared<ControllerTemplate>(*controllerTemplate));
    return copy;
}
