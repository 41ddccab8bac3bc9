#include "desktop_scene.h"

void DesktopScene::initTestCase()
{
    m_app.reset(LumApplication::create());
    m_shell = std::make_unique<GuiShell>(m_app.get());
    m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
    m_controller->setDialogs(std::make_unique<BrowserDialogs>());
    window()->attach(m_controller.get(), m_shell.get());
    window()->show();
}

void DesktopScene::init()
{
    m_app->endProject();
    resetApplication();
    m_ids = addControllers(m_show.controllerTemplate(), 2);
    m_app->beginProject(false);
}

void DesktopScene::cleanupTestCase()
{
    m_app->endProject();
    MainWindow::destroyInstance();
    m_controller.reset();
    m_shell.reset();
    m_app.reset();
}
