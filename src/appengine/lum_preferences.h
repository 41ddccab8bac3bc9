#pragma once

#include "preferences.h"

// The application's preferences. Run-at-start-up is not kept in the settings
// store but in the desktop session's autostart list.
class LumPreferences : public Preferences
{
    Q_OBJECT

public:
    enum Key : uint
    {
        Key_MaxAttempts = 0,
        Key_RetryInterval = 1,
        Key_StopOnFirstFail = 2,
        Key_UploadUnchangedFiles = 3,
        Key_RunAtStartup = 4,
        Key_NotifyAboutBetaReleases = 5,
        // Uploads under way at once; 0: no limit.
        Key_MaxSimultaneousUploads = 6
    };

    explicit LumPreferences(QObject *parent = nullptr);

    // What the autostart entry starts: the running executable, hidden in the
    // tray, with the last project.
    static QString startupArguments();

protected:
    void writeValue(uint key, const QVariant &value) override;
    QVariant readValue(uint key, const QVariant &defaultValue) override;
};
