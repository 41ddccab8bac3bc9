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
    m_pending.clear();
    EventLog *log = LumApplication::instance()->eventLog();
    const QList<LogEntry> entries = log->entries();
    for (const LogEntry &entry : entries)
        appendLogEntry(entry);
    appendPending();
    connect(log, &EventLog::messageLogged, this, &LogViewer::appendLogEntry, Qt::UniqueConnection);
}

void LogViewer::onDocumentClosing()
{
    LumApplication::instance()->eventLog()->disconnect(this);
    m_pending.clear();
    clear();
}

void LogViewer::appendLogEntry(const LogEntry &entry)
{
    if (entry.level > m_threshold)
        return;
    if (m_pending.isEmpty())
        QMetaObject::invokeMethod(this, &LogViewer::appendPending, Qt::QueuedConnection);
    m_pending << entry.displayText();
}

void LogViewer::appendPending()
{
    if (m_pending.isEmpty())
        return;
    // Inserted as plain text: a message that looks like markup stays as
    // written. One edit for all: the pane lays out and scrolls once.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const QString &line : std::as_const(m_pending)) {
        if (!document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(line);
    }
    cursor.endEditBlock();
    m_pending.clear();
}
