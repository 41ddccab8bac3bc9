#include "set_schedule_dialog.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

SetScheduleDialog::SetScheduleDialog(const QList<QDateTime> &existing, const QDateTime &current,
                                     QWidget *parent)
    : QDialog(parent), m_existingMode(new QRadioButton(tr("Already scheduled"), this)),
      m_existing(new QListWidget(this)), m_newMode(new QRadioButton(tr("New time"), this)),
      m_time(new QTimeEdit(this)), m_nextOccurrence(new QRadioButton(tr("Next occurence"), this)),
      m_onDate(new QRadioButton(tr("On date"), this)), m_date(new QDateEdit(this)),
      m_passed(new QLabel(tr("The time has already passed"), this))
{
    setWindowTitle(tr("Set Schedule"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_existing->setAccessibleName(tr("Scheduled times"));
    for (const QDateTime &time : existing) {
        auto *item =
            new QListWidgetItem(QLocale().toString(time, QLocale::ShortFormat), m_existing);
        item->setData(Qt::UserRole, time);
    }
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    m_date->setCalendarPopup(true);
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_existingMode);
    modes->addButton(m_newMode);
    auto *dateRules = new QButtonGroup(this);
    dateRules->addButton(m_nextOccurrence);
    dateRules->addButton(m_onDate);

    auto *newTime = new QGridLayout;
    auto *timeLabel = new QLabel(tr("&Time"), this);
    timeLabel->setBuddy(m_time);
    newTime->addWidget(timeLabel, 0, 0);
    newTime->addWidget(m_time, 0, 1);
    newTime->addWidget(m_nextOccurrence, 1, 0, 1, 2);
    newTime->addWidget(m_onDate, 2, 0);
    newTime->addWidget(m_date, 2, 1);
    newTime->setContentsMargins(24, 0, 0, 0);
    m_date->setAccessibleName(tr("Date"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Set the time for the scheduled upload"), this));
    layout->addWidget(m_existingMode);
    layout->addWidget(m_existing);
    layout->addWidget(m_newMode);
    layout->addLayout(newTime);
    layout->addWidget(m_passed);
    layout->addWidget(buttons);

    // Nothing scheduled yet: a new time an hour from now, today or tomorrow.
    const QDateTime inAnHour = QDateTime::currentDateTime().addSecs(3600);
    m_time->setTime(QTime(inAnHour.time().hour(), inAnHour.time().minute()));
    m_date->setDate(inAnHour.date());
    m_nextOccurrence->setChecked(true);
    (existing.isEmpty() ? m_newMode : m_existingMode)->setChecked(true);
    m_existingMode->setEnabled(!existing.isEmpty());
    const int currentRow = int(existing.indexOf(current));
    if (current.isValid() && currentRow >= 0)
        m_existing->setCurrentRow(currentRow);

    connect(buttons, &QDialogButtonBox::accepted, this, &SetScheduleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetScheduleDialog::reject);
    connect(m_newMode, &QRadioButton::toggled, this, &SetScheduleDialog::onModeChanged);
    connect(m_onDate, &QRadioButton::toggled, this, &SetScheduleDialog::onNewTimeChanged);
    connect(m_existing, &QListWidget::itemSelectionChanged, this,
            &SetScheduleDialog::onExistingSelected);
    connect(m_time, &QTimeEdit::timeChanged, this, &SetScheduleDialog::onNewTimeChanged);
    connect(m_date, &QDateEdit::dateChanged, this, &SetScheduleDialog::onNewTimeChanged);
    onModeChanged();
}

bool SetScheduleDialog::newTimeMode() const
{
    return m_newMode->isChecked();
}

void SetScheduleDialog::onModeChanged()
{
    const bool newTime = newTimeMode();
    m_existing->setEnabled(!newTime);
    for (QWidget *widget :
         {static_cast<QWidget *>(m_time), static_cast<QWidget *>(m_nextOccurrence),
          static_cast<QWidget *>(m_onDate)})
        widget->setEnabled(newTime);
    if (newTime)
        onNewTimeChanged();
    else
        onExistingSelected();
}

void SetScheduleDialog::onExistingSelected()
{
    if (newTimeMode())
        return;
    m_date->setEnabled(false);
    const QList<QListWidgetItem *> selected = m_existing->selectedItems();
    const QDateTime chosen =
        selected.size() == 1 ? selected.first()->data(Qt::UserRole).toDateTime() : QDateTime();
    if (chosen.isValid()) {
        // Shown in the new-time fields too, as the start of a change.
        const QSignalBlocker timeBlocker(m_time);
        const QSignalBlocker dateBlocker(m_date);
        m_time->setTime(chosen.time());
        m_date->setDate(chosen.date());
    }
    showResult(chosen);
}

void SetScheduleDialog::onNewTimeChanged()
{
    if (!newTimeMode())
        return;
    m_date->setEnabled(m_onDate->isChecked());
    const QTime time = m_time->time();
    if (m_nextOccurrence->isChecked()) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate date = time > now.time() ? now.date() : now.date().addDays(1);
        const QSignalBlocker blocker(m_date);
        m_date->setDate(date);
    }
    showResult(QDateTime(m_date->date(), time));
}

void SetScheduleDialog::showResult(const QDateTime &result)
{
    m_result = result;
    m_passed->setVisible(result.isValid() && result < QDateTime::currentDateTime());
    m_ok->setEnabled(result.isValid());
}
