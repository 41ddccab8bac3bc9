#include "event_log.h"

EventLog::EventLog(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<LogEntry>();
}

void EventLog::log(LogCategory category, const QString &message, int level, bool escapeControlChars)
{
    LogEntry entry{category, level, message, {}};
    if (escapeControlChars) {
        entry.message.replace(QLatin1Char('\r'), QLatin1String("\\r"));
        entry.message.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    }
    entry.time = QDateTime::currentDateTime();
    m_entries.append(entry);
    emit messageLogged(entry);
}

void EventLog::clear()
{
    m_entries.clear();
}
