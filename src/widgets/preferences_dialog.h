#pragma once

#include <QDialog>

class LumPreferences;
class QCheckBox;
class QSpinBox;
class QTimeEdit;

// The application's upload, start-up and update preferences. OK writes all
// of them; Cancel writes nothing.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(LumPreferences *preferences, QWidget *parent = nullptr);

public slots:
    void accept() override;

private:
    QCheckBox *checkBox(const QString &text, const QString &toolTip, uint key);

    LumPreferences *m_preferences;
    QSpinBox *m_maxAttempts;
    QTimeEdit *m_retryInterval;
    QCheckBox *m_stopOnFirstFail;
    QCheckBox *m_uploadUnchangedFiles;
    QCheckBox *m_runAtStartup;
    QCheckBox *m_notifyAboutBeta;
};
