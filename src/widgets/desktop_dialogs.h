#pragma once

#include "installation_template.h"

#include <QDateTime>

#include <optional>

class DesktopController;
class LumDocument;
class QUrl;
class QWidget;
class RecentFiles;
class VersionChecker;

// The dialogs the desktop controller and the main window run for their
// flows: the template builder, adding installations, the schedule, the mail
// settings, the preferences, the launch dialog, the software update and the
// controllers' web pages. Each runs modally over `parent` and says what the operator
// chose; the controller turns the choice into undo commands.
class DesktopDialogs
{
public:
    struct InstallationChoice
    {
        // The group to add to; none: build a new template first.
        std::optional<uint> groupId;
        uint count = 1;
    };

    virtual ~DesktopDialogs() = default;

    // A new template (`editing` null) or a changed copy of `editing`;
    // null when cancelled.
    virtual InstallationTemplatePtr buildTemplate(const InstallationTemplate *editing,
                                                  QWidget *parent) = 0;
    // Where to add installations and how many; nothing when cancelled.
    virtual std::optional<InstallationChoice> chooseInstallations(QWidget *parent) = 0;
    // The time to upload at, preset to `current` (invalid: none); nothing
    // when cancelled, an invalid time when none was chosen.
    virtual std::optional<QDateTime> chooseScheduleTime(const QDateTime &current,
                                                        QWidget *parent) = 0;
    // Runs the launch dialog until it ends, acting through the controller.
    virtual void runLaunchDialog(DesktopController *controller, RecentFiles *recentFiles,
                                 QWidget *parent) = 0;
    virtual void runSoftwareUpdate(VersionChecker *checker, bool includeBeta, QWidget *parent) = 0;
    // The open project's mail-alert settings; a change is one undoable step.
    virtual void editMailSettings(LumDocument *document, QWidget *parent) = 0;
    // The application's preferences, written when accepted.
    virtual void editPreferences(QWidget *parent) = 0;
    // The widget of a tab showing a controller's web interface at `address`.
    virtual QWidget *createControllerBrowser(const QUrl &address, QWidget *parent) = 0;
};
