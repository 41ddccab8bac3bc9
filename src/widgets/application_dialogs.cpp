#include "application_dialogs.h"

#include "add_installation_dialog.h"
#include "controller_browser.h"
#include "desktop_controller.h"
#include "desktop_launch_handler.h"
#include "email_settings_dialog.h"
#include "installation_template_builder_dialog.h"
#include "lum_application.h"
#include "lum_document.h"
#include "lum_launch_dialog.h"
#include "preferences_dialog.h"
#include "set_schedule_dialog.h"
#include "software_update_dialog.h"
#include "version_checker.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

namespace {
// Runs a dialog made with `new` over a parent that may close while it runs
// (and take the dialog with it); `accepted` reads the dialog's answer.
template <typename Dialog, typename Accepted>
void runEditingDialog(Dialog *made, Accepted accepted)
{
    QPointer<Dialog> dialog = made;
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return;
    if (ok)
        accepted(*dialog);
    delete dialog;
}
} // namespace

InstallationTemplatePtr ApplicationDialogs::buildTemplate(const InstallationTemplate *editing,
                                                          QWidget *parent)
{
    InstallationTemplatePtr built;
    runEditingDialog(new InstallationTemplateBuilderDialog(editing, parent),
                     [&](InstallationTemplateBuilderDialog &dialog) { built = dialog.result(); });
    return built;
}

std::optional<DesktopDialogs::InstallationChoice>
ApplicationDialogs::chooseInstallations(QWidget *parent)
{
    std::optional<InstallationChoice> choice;
    runEditingDialog(new AddInstallationDialog(LumApplication::instance()->document(), parent),
                     [&](AddInstallationDialog &dialog) {
                         choice = InstallationChoice{dialog.groupId(), dialog.count()};
                     });
    return choice;
}

std::optional<QDateTime> ApplicationDialogs::chooseScheduleTime(const QDateTime &current,
                                                                QWidget *parent)
{
    const UploadSchedule &schedule = LumApplication::instance()->document()->uploadSchedule();
    std::optional<QDateTime> chosen;
    runEditingDialog(new SetScheduleDialog(schedule.times(), current, parent),
                     [&](SetScheduleDialog &dialog) { chosen = dialog.result(); });
    return chosen;
}

void ApplicationDialogs::runLaunchDialog(DesktopController *controller, RecentFiles *recentFiles,
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

void ApplicationDialogs::runSoftwareUpdate(VersionChecker *checker, bool includeBeta,
                                           QWidget *parent)
{
    if (!checker->latestRelease(!includeBeta))
        return;
    QPointer<SoftwareUpdateDialog> dialog = new SoftwareUpdateDialog(checker, !includeBeta, parent);
    dialog->exec();
    delete dialog;
}

void ApplicationDialogs::editMailSettings(LumDocument *document, QWidget *parent)
{
    // The dialog itself pushes a changed record.
    runEditingDialog(new EmailSettingsDialog(document, parent), [](EmailSettingsDialog &) {});
}

void ApplicationDialogs::editPreferences(QWidget *parent)
{
    runEditingDialog(new PreferencesDialog(LumApplication::instance()->preferences(), parent),
                     [](PreferencesDialog &) {});
}

QWidget *ApplicationDialogs::createControllerBrowser(const QUrl &address, QWidget *parent)
{
    auto *browser = new ControllerBrowser(parent);
    browser->setUrl(address);
    return browser;
}
