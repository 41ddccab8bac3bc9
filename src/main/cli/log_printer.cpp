#include "log_printer.h"

#include "cli_command.h"
#include "event_log.h"
#include "progress_line.h"

LogPrinter::LogPrinter(EventLog *log, int maxLevel, QObject *parent)
    : QObject(parent), m_log(log), m_maxLevel(maxLevel)
{
    connect(log, &EventLog::messageLogged, this, &LogPrinter::onMessageLogged);
}

void LogPrinter::printEarlierEntries()
{
    const QList<LogEntry> entries = m_log->entries();
    for (const LogEntry &entry : entries)
        print(entry);
}

void LogPrinter::onMessageLogged(const LogEntry &entry)
{
    print(entry);
    // The entry is a copy; the log may go.
    if (m_retained > 0 && m_log->entries().size() >= m_retained)
        m_log->clear();
}

void LogPrinter::print(const LogEntry &entry)
{
    if (entry.level > m_maxLevel)
        return;
    if (m_progress)
        m_progress->clear();
    Cli::print(entry.displayText() + QLatin1Char('\n'));
    if (m_progress)
        m_progress->redraw();
}
