#pragma once

#include "desktop_dialogs.h"

// The desktop's dialogs: the template builder, the add-installation,
// schedule, mail and preferences dialogs, the launch dialog, the software
// update dialog and the controllers' web browsers.
class ApplicationDialogs : public DesktopDialogs
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
