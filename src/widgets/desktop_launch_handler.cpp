#include "desktop_launch_handler.h"

#include "desktop_controller.h"

bool DesktopLaunchHandler::launchNewDocument()
{
    return m_controller->newDocument();
}

bool DesktopLaunchHandler::launchOpenDocument(const QString &path)
{
    return m_controller->openRecentDocument(path);
}

bool DesktopLaunchHandler::launchOpenDocument()
{
    return m_controller->openDocument();
}
