#include "desktop_scene.h"

void DesktopScene::initTestCase()
{
    m_app.reset(LumApplication::create());
    m_shell = std::make_unique<GuiShell>(m_app.get());
    m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
    window()->attach(m_controller.get(), m_shell.get());
    window()->show();
}

void DesktopScene::init()
{
    m_app->endProject();
    resetApplication();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_controller->setDialogs(std::move(dialogs));
    m_ids = addControllers(m_show.controllerTemplate(), 2);
    m_app->beginProject(false);
    QCoreApplication::sendPostedEvents(); // a launch dialog asked for by the last test
}

void DesktopScene::cleanupTestCase()
{
    m_app->endProject();
    MainWindow::destroyInstance();
    m_controller.reset();
    m_shell.reset();
    m_app.reset();
}
