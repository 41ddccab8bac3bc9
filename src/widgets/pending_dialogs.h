#pragma once

#include "desktop_dialogs.h"

// The desktop's dialogs: the template builder and the add-installation,
// schedule, mail and preferences dialogs. It stands in for those not built
// yet: the launch dialog is the main window saying that no project is open,
// the software update is a message naming the newer release, and a
// controller's web interface is a label with its address.
class PendingDialogs : public DesktopDialogs
{
public:
    InstallationTemplatePtr buildTemplate(const InstallationTemplate *editing,
                                          QWidget *parent) override;
    std::optional<InstallationChoice> chooseInstallations(QWidget *parent) override;
    std::optional<QDateTime> chooseScheduleTime(const QDateTime &current, QWidget *parent) override;
    void runLaunchDialog(DesktopController *controller, RecentFiles *recentFiles,
                         QWidget *parent) override;
    void runSoftwareUpdate(VersionChecker *checker, bool includeBeta, QWidget *parent) override;
    void editMailSettings(LumDocument *document, QWidget *parent) override;
    void editPreferences(QWidget *parent) override;
    QWidget *createControllerBrowser(const QUrl &address, QWidget *parent) override;
};
