#pragma once

#include "url_info.h"

#include <QDateTime>
#include <QString>

// Turns the lines of an FTP directory listing into UrlInfo entries. LIST has
// no standard format: servers answer like "ls -l" (Unix) or like "dir" (DOS,
// IIS); MLSD (RFC 3659) is machine-readable with times in UTC.
class FtpListParser
{
public:
    // One LIST line, Unix or DOS style. False for lines that are no entry
    // ("total 12", blank lines) and for lines in a layout we do not know.
    // `now` decides the year of Unix lines that show a time instead of one.
    static bool parseListLine(const QString &line, UrlInfo *info,
                              const QDateTime &now = QDateTime::currentDateTime());

    // One MLSD line: "fact=value;fact=value; name". False for the entries of
    // the folder itself and its parent, and for malformed lines.
    static bool parseMlsdLine(const QString &line, UrlInfo *info);

private:
    static bool parseUnixLine(const QString &line, UrlInfo *info, const QDateTime &now);
    static bool parseDosLine(const QString &line, UrlInfo *info);
};
