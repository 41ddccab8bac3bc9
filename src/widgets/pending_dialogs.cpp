#include "pending_dialogs.h"

#include "app_constants.h"
#include "main_window.h"
#include "version_checker.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
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

void PendingDialogs::editMailSettings(LumDocument *, QWidget *)
{}

void PendingDialogs::editPreferences(QWidget *)
{}

QWidget *PendingDialogs::createControllerBrowser(const QUrl &address, QWidget *parent)
{
    auto *label = new QLabel(address.toString(), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
