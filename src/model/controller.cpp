#include "controller.h"

#include "change_events.h"
#include "lum_assert.h"

namespace {
QString noAddress()
{
    return QStringLiteral("0.0.0.0");
}
} // namespace

Controller::Controller(const ControllerTemplatePtr &controllerTemplate, QObject *parent)
    : QObject(parent), m_hostname(noAddress())
{
    LUM_ASSERT(controllerTemplate != nullptr);
    m_template = std::make_shared<ControllerTemplate>(*controllerTemplate);
}

void Controller::setHostname(const QString &hostname)
{
    cancelUpload();
    m_hostname = hostname.isEmpty() ? noAddress() : hostname;
    m_discoveryState = Discovery_NotFound;
    announceChange();
    discover();
}

void Controller::setHttpPort(uint port)
{
    cancelUpload();
    m_httpPort = port;
    m_discoveryState = Discovery_NotFound;
    announceChange();
    discover();
}

void Controller::setFtpPort(uint port)
{
    cancelUpload();
    m_ftpPort = port;
    announceChange();
}

void Controller::restoreAddress(const QString &hostname, uint httpPort, uint ftpPort)
{
    m_hostname = hostname.isEmpty() ? noAddress() : hostname;
    m_httpPort = httpPort;
    m_ftpPort = ftpPort;
}

void Controller::setTemplate(const ControllerTemplatePtr &controllerTemplate, bool rediscover)
{
    LUM_ASSERT(controllerTemplate != nullptr);
    cancelUpload();
    const int oldHardwareType = m_template->hardwareType();
    m_template = std::make_shared<ControllerTemplate>(*controllerTemplate);
    if (rediscover && m_template->hardwareType() != oldHardwareType)
        discover();
}

void Controller::rebuildFilesToUpload()
{}

void Controller::discover()
{}

void Controller::undiscover()
{}

void Controller::cancelUpload()
{}

void Controller::setDiscoveryState(DiscoveryState state)
{
    if (state == m_discoveryState)
        return;
    m_discoveryState = state;
    postChangeEvent(new ControllerDiscoveryEvent(getId()));
}

void Controller::announceChange()
{
    postChangeEvent(new ControllerChangedEvent(getId()));
}
