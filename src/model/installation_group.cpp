#include "installation_group.h"

#include "app_constants.h"
#include "change_events.h"
#include "lum_assert.h"

InstallationGroup::InstallationGroup() : m_template(std::make_shared<InstallationTemplate>())
{}

InstallationGroup::InstallationGroup(const InstallationTemplate &source)
    : m_template(source.deepCopy())
{}

QString InstallationGroup::name() const
{
    const QString name = m_template->name();
    return name.isEmpty() ? AppConstants::defaultGroupName() : name;
}

void InstallationGroup::setName(const QString &name)
{
    m_template->setName(name);
    postChangeEvent(new InstallationGroupChangedEvent(getId()));
}

void InstallationGroup::setInstallationTemplate(const InstallationTemplatePtr &installationTemplate)
{
    LUM_ASSERT(installationTemplate != nullptr);
    m_template = installationTemplate;
}
