#include "pending_dialogs.h"

#include "add_installation_dialog.h"
#include "app_constants.h"
#include "email_settings_dialog.h"
#include "installation_template_builder_dialog.h"
#include "lum_application.h"
#include "lum_document.h"
#include "main_window.h"
#include "preferences_dialog.h"
#include "set_schedule_dialog.h"
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

InstallationTemplatePtr PendingDialogs::buildTemplate(const InstallationTemplate *editing,
                                                      QWidget *parent)
{
    InstallationTemplatePtr built;
    runEditingDialog(new InstallationTemplateBuilderDialog(editing, parent),
                     [&](InstallationTemplateBuilderDialog &dialog) { built = dialog.result(); });
    return built;
}

std::optional<DesktopDialogs::InstallationChoice>
PendingDialogs::chooseInstallations(QWidget *parent)
{
    std::optional<InstallationChoice> choice;
    runEditingDialog(new AddInstallationDialog(LumApplication::instance()->document(), parent),
                     [&](AddInstallationDialog &dialog) {
                         choice = InstallationChoice{dialog.groupId(), dialog.count()};
                     });
    return choice;
}

std::optional<QDateTime> PendingDialogs::chooseScheduleTime(const QDateTime &current,
                                                            QWidget *parent)
{
    const UploadSchedule &schedule = LumApplication::instance()->document()->uploadSchedule();
    std::optional<QDateTime> chosen;
    runEditingDialog(new SetScheduleDialog(schedule.times(), current, parent),
                     [&](SetScheduleDialog &dialog) { chosen = dialog.result(); });
    return chosen;
}

void PendingDialogs::runLaunchDialog(DesktopController *, RecentFiles *, QWidget *)
{
    MainWindow::instance()->showLaunchNote(QString());
    MainWindow::instance()->bringToFront();
}

void PendingDialogs::runSoftwareUpdate(VersionChecker *checker, bool includeBeta, QWidget *parent)
{
    const std::optional<VersionChecker::Release> latest = checker->latestRelease(!includeBeta);
    if (!latest)
        return;
    QMessageBox::information(
        parent, QCoreApplication::translate("PendingDialogs", "Software Update"),
        QCoreApplication::translate("PendingDialogs", "A newer version of %1 is available: %2")
            .arg(AppConstants::displayName(), latest->version.toString()));
}

void PendingDialogs::editMailSettings(LumDocument *document, QWidget *parent)
{
    // The dialog itself pushes a changed record.
    runEditingDialog(new EmailSettingsDialog(document, parent), [](EmailSettingsDialog &) {});
}

void PendingDialogs::editPreferences(QWidget *parent)
{
    runEditingDialog(new PreferencesDialog(LumApplication::instance()->preferences(), parent),
                     [](PreferencesDialog &) {});
}

QWidget *PendingDialogs::createControllerBrowser(const QUrl &address, QWidget *parent)
{
    auto *label = new QLabel(address.toString(), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
