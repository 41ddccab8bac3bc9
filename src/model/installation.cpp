#include "installation.h"

#include "app_constants.h"
#include "change_events.h"

Installation::Installation(const QList<uint> &controllerIds) : m_controllerIds(controllerIds)
{}

QString Installation::name() const
{
    return m_name.isEmpty() ? AppConstants::defaultInstallationName() : m_name;
}

void Installation::setName(const QString &name)
{
    m_name = name;
    postChangeEvent(new InstallationChangedEvent(getId()));
}
