#include "gui_startup.h"

#include "app_constants.h"
#include "change_events.h"
#include "command_line.h"
#include "desktop_controller.h"
#include "gui_shell.h"
#include "installer_lock.h"
#include "local_interfaces.h"
#include "lum_application.h"
#include "lumora_style.h"
#include "main_window.h"
#include "recent_files.h"
#include "single_instance.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace GuiStartup {

namespace {
constexpr int handoverTimeoutMs = 5000;
} // namespace

void showInstallerRunningMessage()
{
    QMessageBox::warning(
        nullptr, QCoreApplication::translate("GuiStartup", "Installer already running"),
        QCoreApplication::translate("GuiStartup",
                                    "You must close the installer before you can run Rigwarden"));
}

int run(int argc, char **argv)
{
    QApplication qtApp(argc, argv);
    QApplication::setStyle(new LumoraStyle);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/22x22/tray_icon.png")));
    // Ties the windows to the installed desktop entry (its name and icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("rigwarden"));

    if (InstallerLock::installerRunning()) {
        showInstallerRunningMessage();
        return 0;
    }

    std::unique_ptr<LumApplication> appOwner(LumApplication::create());
    LumApplication *app = appOwner.get();
    const QStringList arguments = QApplication::arguments().mid(1);

    SingleInstance single(AppConstants::singleInstanceKey());
    if (single.sendMessage(CommandLine::handoverMessage(arguments), handoverTimeoutMs))
        return 0;
    if (single.isRunning() || !single.becomeOwner())
        return 0;
    QObject::connect(&single, &SingleInstance::messageReceived, app,
                     &LumApplication::singleAppMessageReceived);

    LocalInterfaces::initialise();
    app->createMediaTranscoder();

    const StartupOptions options = CommandLine::parse(arguments, &CommandLine::storedLastFile);
    LumApplication::setLogLevel(options.logLevel);

    // Every way out goes through the controller, which stops the uploads first.
    QApplication::setQuitOnLastWindowClosed(false);
    GuiShell shell(app);
    MainWindow *window = MainWindow::instance();
    auto controller = std::make_unique<DesktopController>(app, &shell);
    window->attach(controller.get(), &shell);
    shell.showSplashScreen(options.startMinimised ? 3000 : 2000, nullptr);
    if (options.startMinimised)
        window->minimiseToTray();
    else
        window->show();

    QCoreApplication::postEvent(app, new ApplicationLaunchedEvent(options.fileToOpen));
    const int exitCode = QApplication::exec();

    MainWindow::destroyInstance();
    controller.reset();
    appOwner.reset();
    return exitCode;
}

} // namespace GuiStartup
