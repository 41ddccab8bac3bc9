#include "version_checker.h"

#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
// The single element of that name below `parent`, or a null element when
// there is none or more than one.
QDomElement soleElement(const QDomElement &parent, const QString &name)
{
    const QDomNodeList found = parent.elementsByTagName(name);
    return found.count() == 1 ? found.at(0).toElement() : QDomElement();
}

// The feed travels over plain HTTP and its pages are opened in the desktop
// browser: only web addresses are taken.
QUrl webUrl(const QDomElement &element)
{
    if (element.isNull())
        return QUrl();
    const QUrl url(element.text().trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QUrl();
    return url;
}
} // namespace

VersionChecker::VersionChecker(const QUrl &feedUrl, QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    connect(m_network, &QNetworkAccessManager::finished, this, &VersionChecker::onReplyFinished);
    QNetworkReply *reply = m_network->get(QNetworkRequest(feedUrl));
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxFeedSize)
            reply->abort();
    });
}

VersionChecker::Platform VersionChecker::ownPlatform()
{
#if defined(Q_OS_WIN)
    return Platform_Win32;
#elif defined(Q_OS_MACOS)
    return Platform_MacOsX;
#else
    return Platform_Linux;
#endif
}

VersionChecker::Platform VersionChecker::platformFromName(const QString &name)
{
    if (name == QLatin1String("win32"))
        return Platform_Win32;
    if (name == QLatin1String("macosx"))
        return Platform_MacOsX;
    if (name == QLatin1String("linux"))
        return Platform_Linux;
    return Platform_Other;
}

void VersionChecker::onReplyFinished(QNetworkReply *reply)
{
    if (reply->error() == QNetworkReply::NoError)
        m_releases = readFeed(reply->readAll());
    reply->deleteLater();
    emit releaseDataAvailable();
}

std::map<Version, VersionChecker::ReleaseInfo> VersionChecker::readFeed(const QByteArray &data)
{
    std::map<Version, ReleaseInfo> found;
    if (data.size() > MaxFeedSize)
        return found;
    QDomDocument document;
    if (!document.setContent(data))
        return found;
    const QDomNodeList allReleases = document.elementsByTagName(QStringLiteral("releases"));
    if (allReleases.count() != 1)
        return found;
    const QDomElement releases = allReleases.at(0).toElement();

    const QDomNodeList releaseElements = releases.elementsByTagName(QStringLiteral("release"));
    for (int i = 0; i < releaseElements.count(); ++i) {
        const QDomElement release = releaseElements.at(i).toElement();
        const Version version = Version::fromString(release.attribute(QStringLiteral("version")));
        if (version.isNull())
            continue; // not a version text
        ReleaseInfo info;
        const QDomNodeList platforms = release.elementsByTagName(QStringLiteral("platform"));
        for (int p = 0; p < platforms.count(); ++p) {
            const QDomElement platform = platforms.at(p).toElement();
            info.platforms.insert(platformFromName(platform.attribute(QStringLiteral("os"))),
                                  {webUrl(soleElement(platform, QStringLiteral("downloadpage"))),
                                   webUrl(soleElement(platform, QStringLiteral("downloadfile")))});
        }
        const QDomElement notes = soleElement(release, QStringLiteral("notes"));
        if (!notes.isNull())
            info.notes = notes.text().trimmed();
        found[version] = info;
    }
    return found;
}

bool VersionChecker::isEligible(const Version &version, const ReleaseInfo &info,
                                bool stableOnly) const
{
    if (stableOnly && !version.isFinal())
        return false;
    return info.platforms.contains(ownPlatform());
}

bool VersionChecker::isUpToDate(const Version &current, bool stableOnly) const
{
    for (auto it = m_releases.rbegin(); it != m_releases.rend(); ++it) {
        if (!(it->first > current))
            return true;
        if (isEligible(it->first, it->second, stableOnly))
            return false;
    }
    return true;
}

std::optional<VersionChecker::Release> VersionChecker::latestRelease(bool stableOnly) const
{
    for (auto it = m_releases.rbegin(); it != m_releases.rend(); ++it) {
        if (isEligible(it->first, it->second, stableOnly))
            return Release{it->first, it->second};
    }
    return std::nullopt;
}

QString VersionChecker::releaseNotes(const Version &version) const
{
    const auto found = m_releases.find(version);
    return found == m_releases.end() ? QString() : found->second.notes;
}

QUrl VersionChecker::downloadPage(const Version &version) const
{
    const auto found = m_releases.find(version);
    if (found == m_releases.end())
        return QUrl();
    return found->second.platforms.value(ownPlatform()).first;
}
