#pragma once

#include "desktop_dialogs.h"

// Stands in for the dialogs that are not built yet: the template builder,
// the add-installation and schedule dialogs answer as if cancelled, the
// launch dialog is the main window saying that no project is open, and the
// software update is a message naming the newer release.
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
};
