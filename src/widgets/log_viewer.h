#pragma once

#include "log_entry.h"

#include <QPlainTextEdit>

// The read-only pane of the "Log Viewer" dock. Shows the entries whose level
// is not above the process-wide log level, one line each, while a project is
// open; empty between a close and the next open. A plain-text pane: a fleet's
// upload logs thousands of lines, and appending to a rich-text document
// grows dearer with its size. Lines logged together (a fleet starting its
// uploads logs thousands at once) are added together once control returns to
// the event loop, each line its own block as before.
class LogViewer : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogViewer(QWidget *parent = nullptr);

    int threshold() const { return m_threshold; }

public slots:
    void onDocumentOpened();
    void onDocumentClosing();
    void appendLogEntry(const LogEntry &entry);
    // Adds the lines logged since control last returned to the event loop.
    void appendPending();

private:
    int m_threshold;
    QStringList m_pending;
};
