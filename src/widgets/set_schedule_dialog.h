#pragma once

#include <QDateTime>
#include <QDialog>

class QDateEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimeEdit;

// The time of a scheduled upload: one of the times already scheduled, or a
// new one (a time on its next occurrence, or on a given date). result() is
// invalid while nothing is chosen, and OK then stays disabled.
class SetScheduleDialog : public QDialog
{
    Q_OBJECT

public:
    // `existing`: the times already scheduled; `current`: the time to start
    // on (invalid: none).
    SetScheduleDialog(const QList<QDateTime> &existing, const QDateTime &current,
                      QWidget *parent = nullptr);

    QDateTime result() const { return m_result; }

private slots:
    void onModeChanged();
    void onExistingSelected();
    void onNewTimeChanged();

private:
    bool newTimeMode() const;
    void showResult(const QDateTime &result);

    QRadioButton *m_existingMode;
    QListWidget *m_existing;
    QRadioButton *m_newMode;
    QTimeEdit *m_time;
    QRadioButton *m_nextOccurrence;
    QRadioButton *m_onDate;
    QDateEdit *m_date;
    QLabel *m_passed;
    QPushButton *m_ok;
    QDateTime m_result;
};
