#pragma once

#include "version.h"

#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <map>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the release feed once and answers whether a newer release exists
// for the platform we run on. Anything that goes wrong (network, XML, odd
// versions) simply yields fewer releases: the application then counts as up
// to date, and nothing is shown or logged.
class VersionChecker : public QObject
{
    Q_OBJECT

public:
    enum Platform
    {
        Platform_Other = 0,
        Platform_Win32 = 1,
        Platform_MacOsX = 2,
        Platform_Linux = 3
    };

    struct ReleaseInfo
    {
        // Per platform: the download page, then the download file.
        QMap<int, QPair<QUrl, QUrl>> platforms;
        QString notes;
    };

    struct Release
    {
        Version version;
        ReleaseInfo info;
    };

    // A feed larger than this is not a release feed.
    static constexpr qint64 MaxFeedSize = 1024 * 1024;

    // Issues the request at once.
    explicit VersionChecker(const QUrl &feedUrl, QObject *parent = nullptr);

    // The platform whose entries in the feed are ours.
    static Platform ownPlatform();
    // "win32", "macosx", "linux"; anything else is Platform_Other.
    static Platform platformFromName(const QString &name);

    // Whether no release newer than `current` offers our platform; with
    // stableOnly, pre-releases do not count.
    bool isUpToDate(const Version &current, bool stableOnly) const;
    // The newest release that offers our platform.
    std::optional<Release> latestRelease(bool stableOnly) const;
    QString releaseNotes(const Version &version) const;
    // Our platform's download page for the release; empty when there is none.
    QUrl downloadPage(const Version &version) const;

    const std::map<Version, ReleaseInfo> &releases() const { return m_releases; }

    // The releases a feed lists; none when it is not a feed we can read.
    static std::map<Version, ReleaseInfo> readFeed(const QByteArray &data);

signals:
    // The feed has been handled, whether or not it could be read.
    void releaseDataAvailable();

private slots:
    void onReplyFinished(QNetworkReply *reply);

private:
    bool isEligible(const Version &version, const ReleaseInfo &info, bool stableOnly) const;

    QNetworkAccessManager *m_network;
    std::map<Version, ReleaseInfo> m_releases;
};
