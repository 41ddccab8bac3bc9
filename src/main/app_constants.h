#pragma once

#include "version.h"

#include <QColor>
#include <QString>
#include <QUrl>

// Process-wide constants of the application.
namespace AppConstants {

QString displayName();        // "Lumora Rigwarden"
QString organisationName();   // "Lumora": scope of every QSettings
QString applicationName();    // "Rigwarden"
Version version();            // 1.0.8
QString versionText();        // "1.0.8", the text form of version()
QString singleInstanceKey();  // "LumoraRigwarden"
QString documentExtension();  // "lmp"
QString installerMutexName(); // "lumoraRigwardenMutex"
QColor splashTextColour();
QString splashTopSpacing(); // five line breaks
// The release feed; the environment variable RIGWARDEN_RELEASE_FEED_URL
// points it elsewhere (a local server in the tests, a mirror on a site).
QUrl releaseFeedUrl();

// Translatable defaults.
QString defaultGroupName();        // "Unnamed Group"
QString defaultInstallationName(); // "Unnamed Installation"

} // namespace AppConstants
