#pragma once

#include "mail_settings.h"

#include <QDialog>

class LumDocument;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;

// The project's mail-alert settings. OK makes a changed record one undoable
// step; recipients that are not mail addresses stay visible in a warning
// colour and are named before they are left out.
class EmailSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EmailSettingsDialog(LumDocument *document, QWidget *parent = nullptr);

    static QColor warningColour();

public slots:
    void addRecipient();
    void removeRecipient();
    void onRecipientSelectionChanged();
    void onRecipientEdited(QListWidgetItem *item);
    void accept() override;

private:
    MailSettings settingsFromControls(const QStringList &recipients) const;

    LumDocument *m_document;
    QGroupBox *m_enabled;
    QCheckBox *m_manualUploads;
    QLineEdit *m_server;
    QSpinBox *m_port;
    QLineEdit *m_username;
    QLineEdit *m_password;
    QListWidget *m_recipients;
    QPushButton *m_remove;
};
