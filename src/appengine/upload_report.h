#pragma once

#include "change_events.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <map>

class Controller;
class LumDocument;

// The outcome of one upload run over a chosen set of controllers: one result
// per controller. The run is complete when every controller has reported;
// its text is then mailed to the operator.
class UploadReport : public QObject
{
    Q_OBJECT

public:
    enum State : quint32
    {
        State_None = 0,
        State_Success = 1,
        State_Cancelled = 2,
        State_Failed = 3,
        State_Ignored = 4, // an upload was already running or pending
        State_MAX = 5
    };

    struct ControllerResult
    {
        QString installationName;
        QString controllerName;
        QString hostname;
        State result = State_None;
        QString message;
        QDateTime time;
    };
    using Results = std::map<uint, ControllerResult>;

    // A report with the next identifier of the process, naming each
    // controller (which must exist in the document) as the tree shows it.
    UploadReport(const LumDocument *document, const IdSet &controllerIds, bool manual,
                 QObject *parent = nullptr);

    uint id() const { return m_id; }
    // Started by the operator rather than by the schedule.
    bool isManual() const { return m_manual; }
    int completeCount() const { return m_completeCount; }
    QDateTime startTime() const { return m_startTime; }
    void setStartTime(const QDateTime &time) { m_startTime = time; }
    const Results &results() const { return m_results; }

    // Records the controller's outcome, stamped with the current time; a
    // controller outside the run is added. A second outcome of the same
    // controller replaces the first without counting it again.
    void setResult(uint controllerId, State result, const QString &message);
    bool isComplete() const { return m_completeCount == int(m_results.size()); }
    int failedCount() const;
    // The report as mailed: header, start time and one line per controller.
    QString text() const;

    // The nine-character word of a result in the text.
    static QString stateWord(uint state);
    // The controller as the installation tree names it: its template's name,
    // or "Controller %1" with the template's number.
    static QString controllerName(const Controller &controller);

private:
    uint m_id;
    bool m_manual;
    int m_completeCount = 0;
    QDateTime m_startTime;
    Results m_results;
};
