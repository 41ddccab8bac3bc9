#include "lum_preferences.h"

#include "app_constants.h"
#include "autostart_entry.h"

#include <QCoreApplication>

LumPreferences::LumPreferences(QObject *parent)
    : Preferences(AppConstants::organisationName(), AppConstants::applicationName(), parent)
{
    registerKey(Key_MaxAttempts, QStringLiteral("Upload/MaxAttempts"), 3);
    registerKey(Key_RetryInterval, QStringLiteral("Upload/RetryInterval"), 300);
    registerKey(Key_StopOnFirstFail, QStringLiteral("Upload/StopOnFirstFail"), false);
    registerKey(Key_UploadUnchangedFiles, QStringLiteral("Upload/UploadUnchangedFiles"), false);
    // Kept in the autostart list; the name only identifies the key.
    registerKey(Key_RunAtStartup, QStringLiteral("RunAtStartup"), false);
    registerKey(Key_NotifyAboutBetaReleases, QStringLiteral("NotifyAboutBetaReleases"), false);
    registerKey(Key_MaxSimultaneousUploads, QStringLiteral("Upload/MaxSimultaneousUploads"), 0);
}

QString LumPreferences::startupArguments()
{
    return QStringLiteral("-start_minimised -load_last_file");
}

void LumPreferences::writeValue(uint key, const QVariant &value)
{
    if (key != Key_RunAtStartup) {
        Preferences::writeValue(key, value);
        return;
    }
    if (value.toBool())
        AutostartEntry::write(QCoreApplication::applicationFilePath(), startupArguments());
    else
        AutostartEntry::remove();
}

QVariant LumPreferences::readValue(uint key, const QVariant &defaultValue)
{
    if (key != Key_RunAtStartup)
        return Preferences::readValue(key, defaultValue);
    return AutostartEntry::exists();
}
