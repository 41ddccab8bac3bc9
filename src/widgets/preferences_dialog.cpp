#include "preferences_dialog.h"

#include "lum_preferences.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {
// The retry interval is shown as a time of day; a day is its limit.
constexpr int SecondsPerDay = 24 * 60 * 60;
} // namespace

PreferencesDialog::PreferencesDialog(LumPreferences *preferences, QWidget *parent)
    : QDialog(parent), m_preferences(preferences), m_maxAttempts(new QSpinBox(this)),
      m_retryInterval(new QTimeEdit(this)),
      m_stopOnFirstFail(checkBox(tr("Stop upload on first permanent error"),
                                 tr("If a permanent error is encountered when uploading, for "
                                    "example, a file is missing, check this option to cancel "
                                    "the upload."),
                                 LumPreferences::Key_StopOnFirstFail)),
      m_uploadUnchangedFiles(
          checkBox(tr("Always upload all files"),
                   tr("To always upload all media files, even if they are unchanged, check this "
                      "option."),
                   LumPreferences::Key_UploadUnchangedFiles)),
      m_runAtStartup(checkBox(tr("Run at startup"),
                              tr("Launch the application automatically in the background"),
                              LumPreferences::Key_RunAtStartup)),
      m_notifyAboutBeta(checkBox(tr("Notify me when new beta software is available"), QString(),
                                 LumPreferences::Key_NotifyAboutBetaReleases))
{
    setWindowTitle(tr("Preferences"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // 0 attempts: never give up.
    m_maxAttempts->setRange(0, 999);
    m_maxAttempts->setSpecialValueText(tr("Unlimited"));
    m_maxAttempts->setValue(preferences->value(LumPreferences::Key_MaxAttempts).toInt());
    m_maxAttempts->setToolTip(
        tr("Sets the maximum number of failed uploads allowed before giving up."));

    m_retryInterval->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    const int interval = preferences->value(LumPreferences::Key_RetryInterval).toInt();
    m_retryInterval->setTime(QTime(0, 0).addSecs(qBound(0, interval, SecondsPerDay - 1)));
    m_retryInterval->setToolTip(
        tr("If an upload fails for a non-permanent reason, for example, a temporary loss of "
           "communication to the controller, this time determines when the upload will "
           "restart."));

    auto *fields = new QFormLayout;
    fields->addRow(tr("Maximum number of upload &attempts"), m_maxAttempts);
    fields->addRow(tr("&Interval between upload retries"), m_retryInterval);
    for (QCheckBox *box :
         {m_stopOnFirstFail, m_uploadUnchangedFiles, m_runAtStartup, m_notifyAboutBeta})
        fields->addRow(box);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

QCheckBox *PreferencesDialog::checkBox(const QString &text, const QString &toolTip, uint key)
{
    auto *box = new QCheckBox(text, this);
    box->setToolTip(toolTip);
    box->setChecked(m_preferences->value(key).toBool());
    return box;
}

void PreferencesDialog::accept()
{
    m_preferences->setValue(LumPreferences::Key_MaxAttempts, m_maxAttempts->value());
    m_preferences->setValue(LumPreferences::Key_RetryInterval,
                            QTime(0, 0).secsTo(m_retryInterval->time()));
    m_preferences->setValue(LumPreferences::Key_StopOnFirstFail, m_stopOnFirstFail->isChecked());
    m_preferences->setValue(LumPreferences::Key_UploadUnchangedFiles,
                            m_uploadUnchangedFiles->isChecked());
    m_preferences->setValue(LumPreferences::Key_RunAtStartup, m_runAtStartup->isChecked());
    m_preferences->setValue(LumPreferences::Key_NotifyAboutBetaReleases,
                            m_notifyAboutBeta->isChecked());
    QDialog::accept();
}
