#include "pending_dialogs.h"

#include "app_constants.h"
#include "controller_browser.h"
#include "desktop_controller.h"
#include "desktop_launch_handler.h"
#include "lum_application.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "software_update_dialog.h"
#include "version_checker.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

InstallationTemplatePtr PendingDialogs::buildTemplate(const InstallationTemplate *, QWidget *)
{
    return nullptr;
}

std::optional<DesktopDialogs::InstallationChoice> PendingDialogs::chooseInstallations(QWidget *)
{
    return std::nullopt;
}

std::optional<QDateTime> PendingDialogs::chooseScheduleTime(const QDateTime &, QWidget *)
{
    return std::nullopt;
}

void PendingDialogs::runLaunchDialog(DesktopController *controller, RecentFiles *recentFiles,
                                     QWidget *parent)
{
    // The parent may go while the dialog runs, and take the dialog with it.
    QPointer<LumLaunchDialog> dialog = new LumLaunchDialog(recentFiles, parent);
    const auto stop = [dialog] {
        if (dialog)
            dialog->done(LaunchDialog::Result_Stop);
    };
    // A project opened another way (a second start handing over a file)
    // or a quit ends the dialog.
    QObject::connect(LumApplication::instance(), &LumApplication::documentOpened, dialog, stop);
    QObject::connect(controller, &DesktopController::quitting, dialog, stop);
    DesktopLaunchHandler handler(controller);
    const int result = dialog->run(&handler);
    delete dialog;
    if (result == LaunchDialog::Result_Exit)
        controller->quit();
}

void PendingDialogs::runSoftwareUpdate(VersionChecker *checker, bool includeBeta, QWidget *parent)
{
    if (!checker->latestRelease(!includeBeta))
        return;
    QPointer<SoftwareUpdateDialog> dialog = new SoftwareUpdateDialog(checker, !includeBeta, parent);
    dialog->exec();
    delete dialog;
}

void PendingDialogs::editMailSettings(LumDocument *, QWidget *)
{}

void PendingDialogs::editPreferences(QWidget *)
{}

QWidget *PendingDialogs::createControllerBrowser(const QUrl &address, QWidget *parent)
{
    auto *browser = new ControllerBrowser(parent);
    browser->setUrl(address);
    return browser;
}
