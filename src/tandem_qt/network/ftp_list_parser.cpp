#include "ftp_list_parser.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTimeZone>

namespace {

// "drwxr-xr-x  2 owner group  4096 Nov  5 14:03 name" (group may be missing,
// some servers add a "+" or "@" after the permissions).
const QRegularExpression &unixPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        "^([-dlbcps])([-rwxsStT]{9})[+@.]?\\s+\\d+\\s+(\\S+)\\s+(?:(\\S+)\\s+)?(\\d+)\\s+"
        "([A-Za-z]{3})\\s+(\\d{1,2})\\s+(\\d{1,2}:\\d{2}|\\d{4})\\s(.+)$"));
    return pattern;
}

// "11-05-13  02:03PM       <DIR>          name" or "... 1234 name".
const QRegularExpression &dosPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{2})-(\\d{2})-(\\d{2}|\\d{4})\\s+(\\d{1,2}):(\\d{2})\\s*([AaPp][Mm])?"
                       "\\s+(<DIR>|\\d+)\\s+(.+)$"));
    return pattern;
}

int monthNumber(const QString &name)
{
    static const QStringList months = {
        QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"), QStringLiteral("apr"),
        QStringLiteral("may"), QStringLiteral("jun"), QStringLiteral("jul"), QStringLiteral("aug"),
        QStringLiteral("sep"), QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    return static_cast<int>(months.indexOf(name.toLower())) + 1;
}

int permissionBits(const QString &text)
{
    static const int bits[9] = {UrlInfo::Permission_ReadOwner,  UrlInfo::Permission_WriteOwner,
                                UrlInfo::Permission_ExeOwner,   UrlInfo::Permission_ReadGroup,
                                UrlInfo::Permission_WriteGroup, UrlInfo::Permission_ExeGroup,
                                UrlInfo::Permission_ReadOther,  UrlInfo::Permission_WriteOther,
                                UrlInfo::Permission_ExeOther};
    int result = 0;
    for (int i = 0; i < 9; ++i) {
        const QChar c = text.at(i);
        // 's' and 't' mean executable plus a special bit, 'S' and 'T' not executable.
        if (c != QLatin1Char('-') && c != QLatin1Char('S') && c != QLatin1Char('T'))
            result |= bits[i];
    }
    return result;
}

} // namespace

bool FtpListParser::parseListLine(const QString &line, UrlInfo *info, const QDateTime &now)
{
    QString text = line;
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return false;
    return parseUnixLine(text, info, now) || parseDosLine(text, info);
}

bool FtpListParser::parseUnixLine(const QString &line, UrlInfo *info, const QDateTime &now)
{
    const QRegularExpressionMatch match = unixPattern().match(line);
    if (!match.hasMatch())
        return false;
    const int month = monthNumber(match.captured(6));
    const int day = match.captured(7).toInt();
    if (month == 0)
        return false;
    bool sizeOk = false;
    const qint64 size = match.captured(5).toLongLong(&sizeOk);
    if (!sizeOk)
        return false;

    QDateTime time;
    const QString yearOrTime = match.captured(8);
    if (yearOrTime.contains(QLatin1Char(':'))) {
        // "ls" shows the time for entries of the last six months: the year is
        // this one unless that would put the entry in the future.
        const QTime clock = QTime::fromString(yearOrTime, QStringLiteral("H:mm"));
        int year = now.date().year();
        QDate date(year, month, day);
        if (date.isValid() && date > now.date().addDays(1))
            date = QDate(year - 1, month, day);
        time = QDateTime(date, clock);
    } else {
        time = QDateTime(QDate(yearOrTime.toInt(), month, day), QTime(0, 0));
    }

    const QChar type = match.captured(1).at(0);
    QString name = match.captured(9);
    if (type == QLatin1Char('l')) {
        const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
        if (arrow > 0)
            name.truncate(arrow);
    }
    if (name.isEmpty())
        return false;

    *info = UrlInfo();
    info->setName(name);
    info->setSize(size);
    info->setDir(type == QLatin1Char('d'));
    info->setFile(type == QLatin1Char('-'));
    info->setSymLink(type == QLatin1Char('l'));
    info->setPermissions(permissionBits(match.captured(2)));
    info->setOwner(match.captured(3));
    info->setGroup(match.captured(4));
    if (time.isValid())
        info->setLastModified(time);
    return true;
}

bool FtpListParser::parseDosLine(const QString &line, UrlInfo *info)
{
    const QRegularExpressionMatch match = dosPattern().match(line);
    if (!match.hasMatch())
        return false;
    int year = match.captured(3).toInt();
    if (match.captured(3).size() == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = match.captured(4).toInt();
    const QString amPm = match.captured(6).toLower();
    if (amPm == QLatin1String("pm") && hour < 12)
        hour += 12;
    else if (amPm == QLatin1String("am") && hour == 12)
        hour = 0;
    const QDateTime time(QDate(year, match.captured(1).toInt(), match.captured(2).toInt()),
                         QTime(hour, match.captured(5).toInt()));

    const bool isDir = match.captured(7) == QLatin1String("<DIR>");
    qint64 size = 0;
    if (!isDir) {
        bool ok = false;
        size = match.captured(7).toLongLong(&ok);
        if (!ok)
            return false;
    }
    *info = UrlInfo();
    info->setName(match.captured(8));
    info->setSize(size);
    info->setDir(isDir);
    info->setFile(!isDir);
    if (time.isValid())
        info->setLastModified(time);
    return true;
}

bool FtpListParser::parseMlsdLine(const QString &line, UrlInfo *info)
{
    QString text = line;
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    // The facts end at the first blank; everything after it is the name.
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0 || blank + 1 >= text.size())
        return false;
    const QString name = text.mid(blank + 1);
    const QStringList facts = text.left(blank).split(QLatin1Char(';'), Qt::SkipEmptyParts);

    UrlInfo entry;
    entry.setName(name);
    for (const QString &fact : facts) {
        const qsizetype equals = fact.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return false;
        const QString key = fact.left(equals).toLower();
        const QString value = fact.mid(equals + 1);
        if (key == QLatin1String("type")) {
            const QString type = value.toLower();
            if (type == QLatin1String("cdir") || type == QLatin1String("pdir"))
                return false;
            entry.setDir(type == QLatin1String("dir"));
            entry.setFile(type == QLatin1String("file"));
            entry.setSymLink(type.startsWith(QLatin1String("os.unix=slink")));
        } else if (key == QLatin1String("size")) {
            bool ok = false;
            const qint64 size = value.toLongLong(&ok);
            if (!ok || size < 0)
                return false;
            entry.setSize(size);
        } else if (key == QLatin1String("modify")) {
            // YYYYMMDDHHMMSS[.sss], always UTC.
            QDateTime time =
                QDateTime::fromString(value.left(14), QStringLiteral("yyyyMMddHHmmss"));
            if (time.isValid()) {
                time.setTimeZone(QTimeZone::utc());
                entry.setLastModified(time);
            }
        } else if (key == QLatin1String("unix.mode")) {
            bool ok = false;
            const int mode = value.toInt(&ok, 8);
            if (ok)
                entry.setPermissions(mode & 0777);
        } else if (key == QLatin1String("unix.owner")) {
            entry.setOwner(value);
        } else if (key == QLatin1String("unix.group")) {
            entry.setGroup(value);
        }
    }
    *info = entry;
    return true;
}
