#pragma once

#include "log_entry.h"

#include <QObject>

class EventLog;
class ProgressLine;

// Prints the event log on stdout as it is written, one entry a line in the
// log viewer's form ("%1 - [%2] - %3"), the entries up to a level only, as
// the viewer shows them. A progress line on the terminal is taken away
// before an entry is printed and drawn again after it.
class LogPrinter : public QObject
{
    Q_OBJECT

public:
    LogPrinter(EventLog *log, int maxLevel, QObject *parent = nullptr);

    void setProgressLine(ProgressLine *line) { m_progress = line; }
    // A process that runs for months must not keep every entry: once the
    // log holds this many, the printed entries are dropped from it. 0 keeps
    // them all.
    void setRetainedEntries(int count) { m_retained = count; }
    // The entries logged before this printer was made.
    void printEarlierEntries();

private slots:
    void onMessageLogged(const LogEntry &entry);

private:
    void print(const LogEntry &entry);

    EventLog *m_log;
    int m_maxLevel;
    ProgressLine *m_progress = nullptr;
    int m_retained = 0;
};
