#include "app_constants.h"

#include <QCoreApplication>

namespace AppConstants {

QString displayName()
{
    return QStringLiteral("Lumora Rigwarden");
}

QString organisationName()
{
    return QStringLiteral("Lumora");
}

QString applicationName()
{
    return QStringLiteral("Rigwarden");
}

Version version()
{
    // The project's version as the build system knows it.
    return Version::fromString(QStringLiteral(RW_VERSION_TEXT));
}

QString versionText()
{
    return version().toString();
}

QString singleInstanceKey()
{
    return QStringLiteral("LumoraRigwarden");
}

QString documentExtension()
{
    return QStringLiteral("lmp");
}

QString installerMutexName()
{
    return QStringLiteral("lumoraRigwardenMutex");
}

QColor splashTextColour()
{
    return Qt::white;
}

QString splashTopSpacing()
{
    return QStringLiteral("\n\n\n\n\n");
}

QUrl releaseFeedUrl()
{
    const QByteArray overridden = qgetenv("RIGWARDEN_RELEASE_FEED_URL");
    if (!overridden.isEmpty())
        return QUrl(QString::fromUtf8(overridden));
    return QUrl(QStringLiteral("http://releases.lumora.example/rw_app_version.xml"));
}

QString defaultGroupName()
{
    return QCoreApplication::translate("AppConstants", "Unnamed Group");
}

QString defaultInstallationName()
{
    return QCoreApplication::translate("AppConstants", "Unnamed Installation");
}

} // namespace AppConstants
