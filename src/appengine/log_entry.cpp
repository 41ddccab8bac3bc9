#include "log_entry.h"

#include "lum_assert.h"

#include <array>

namespace {
constexpr std::array<const char *, Category_MAX> categoryNames = {"APP",  "HTTP",     "FTP",
                                                                  "SMTP", "SCHEDULE", "MEDIA"};
}

QString logCategoryName(LogCategory category)
{
    LUM_ASSERT(category >= 0);
    LUM_ASSERT(category < Category_MAX);
    return QString::fromLatin1(categoryNames[category]);
}

QString LogEntry::displayText() const
{
    // Substituted one after the other so that percent signs inside the message
    // are never taken for place markers.
    const QString shown = level == 2 ? QStringLiteral("[%1]").arg(message) : message;
    return QStringLiteral("%1 - [%2] - %3")
        .arg(time.toString(Qt::TextDate))
        .arg(logCategoryName(category))
        .arg(shown);
}
