#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// Which subsystem wrote a log entry.
enum LogCategory
{
    Category_App = 0,
    Category_Http = 1,
    Category_Ftp = 2,
    Category_Smtp = 3,
    Category_Schedule = 4,
    Category_Media = 5,
    Category_MAX = 6
};

// "APP", "HTTP", "FTP", "SMTP", "SCHEDULE", "MEDIA".
QString logCategoryName(LogCategory category);

// One line of the event log. Levels: 0 operator events, 1 more detail,
// 2 protocol trace.
struct LogEntry
{
    LogCategory category = Category_App;
    int level = 0;
    QString message;
    QDateTime time;

    // "%1 - [%2] - %3", with a level-2 message wrapped in brackets.
    QString displayText() const;
};

Q_DECLARE_METATYPE(LogEntry)
