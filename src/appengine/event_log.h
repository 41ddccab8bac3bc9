#pragma once

#include "log_entry.h"

#include <QList>
#include <QObject>

// The application's single in-memory record of what happened while a project
// was open. Written through LumApplication::log on the GUI thread only.
class EventLog : public QObject
{
    Q_OBJECT

public:
    explicit EventLog(QObject *parent = nullptr);

    // Appends an entry and announces it. With escapeControlChars, carriage
    // returns and line feeds become the two characters "\r" and "\n", so that
    // a whole protocol exchange stays on one line.
    void log(LogCategory category, const QString &message, int level, bool escapeControlChars);
    QList<LogEntry> entries() const { return m_entries; }
    // Removes every entry; emits nothing.
    void clear();

signals:
    void messageLogged(const LogEntry &entry);

private:
    QList<LogEntry> m_entries;
};
