#include "log_viewer.h"

#include "event_log.h"
#include "lum_application.h"

#include <QTextBlock>
#include <QTextCursor>

LogViewer::LogViewer(QWidget *parent)
    : QPlainTextEdit(parent), m_threshold(LumApplication::logLevel())
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setReadOnly(true);
    document()->setDefaultFont(QFont(QStringLiteral("Courier")));
    if (LumApplication *app = LumApplication::instance()) {
        connect(app, &LumApplication::documentOpened, this, &LogViewer::onDocumentOpened);
        connect(app, &LumApplication::documentClosing, this, &LogViewer::onDocumentClosing);
    }
}

void LogViewer::onDocumentOpened()
{
    clear();
    EventLog *log = LumApplication::instance()->eventLog();
    const QList<LogEntry> entries = log->entries();
    for (const LogEntry &entry : entries)
        appendLogEntry(entry);
    connect(log, &EventLog::messageLogged, this, &LogViewer::appendLogEntry, Qt::UniqueConnection);
}

void LogViewer::onDocumentClosing()
{
    LumApplication::instance()->eventLog()->disconnect(this);
    clear();
}

void LogViewer::appendLogEntry(const LogEntry &entry)
{
    if (entry.level > m_threshold)
        return;
    // Inserted as plain text: a message that looks like markup stays as written.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(entry.displayText());
}
