#include "email_settings_dialog.h"

#include "lum_document.h"
#include "password_cipher.h"
#include "question_box.h"
#include "set_email_settings_command.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {
QPushButton *iconButton(const QString &icon, const QString &name, QWidget *parent)
{
    auto *button =
        new QPushButton(QIcon(QStringLiteral(":/icons/22x22/%1.png").arg(icon)), QString(), parent);
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setAutoDefault(false);
    return button;
}
} // namespace

EmailSettingsDialog::EmailSettingsDialog(LumDocument *document, QWidget *parent)
    : QDialog(parent), m_document(document), m_enabled(new QGroupBox(tr("Send Mail Alerts"), this)),
      m_manualUploads(new QCheckBox(tr("Send for manual uploads"), m_enabled)),
      m_server(new QLineEdit(m_enabled)), m_port(new QSpinBox(m_enabled)),
      m_username(new QLineEdit(m_enabled)), m_password(new QLineEdit(m_enabled)),
      m_recipients(new QListWidget(m_enabled)),
      m_remove(iconButton(QStringLiteral("minus"), tr("Remove recipients"), m_enabled))
{
    setWindowTitle(tr("Email Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const MailSettings &settings = document->mailSettings();
    m_enabled->setCheckable(true);
    m_enabled->setChecked(settings.enabled);
    m_manualUploads->setChecked(settings.sendForManualUploads);
    m_server->setText(settings.server);
    m_port->setRange(0, 65535);
    m_port->setValue(settings.port);
    m_username->setText(settings.username);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setText(PasswordCipher::decode(settings.password));
    for (const QString &recipient : settings.recipients) {
        auto *item = new QListWidgetItem(recipient, m_recipients);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        onRecipientEdited(item);
    }
    m_recipients->setSelectionMode(QAbstractItemView::ExtendedSelection);

    QPushButton *add = iconButton(QStringLiteral("plus"), tr("Add recipient"), m_enabled);
    auto *recipientButtons = new QVBoxLayout;
    recipientButtons->addWidget(add);
    recipientButtons->addWidget(m_remove);
    recipientButtons->addStretch();
    auto *recipients = new QHBoxLayout;
    recipients->addWidget(m_recipients);
    recipients->addLayout(recipientButtons);

    auto *fields = new QFormLayout(m_enabled);
    fields->addRow(m_manualUploads);
    fields->addRow(tr("SMTP &Server"), m_server);
    fields->addRow(tr("&Port"), m_port);
    fields->addRow(tr("SMTP &Username"), m_username);
    fields->addRow(tr("SMTP Pass&word"), m_password);
    fields->addRow(tr("&Recipients"), recipients);
    qobject_cast<QLabel *>(fields->labelForField(recipients))->setBuddy(m_recipients);
    // A view takes no name from its buddy label.
    m_recipients->setAccessibleName(tr("Recipients"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &EmailSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EmailSettingsDialog::reject);
    connect(add, &QPushButton::clicked, this, &EmailSettingsDialog::addRecipient);
    connect(m_remove, &QPushButton::clicked, this, &EmailSettingsDialog::removeRecipient);
    connect(m_recipients, &QListWidget::itemSelectionChanged, this,
            &EmailSettingsDialog::onRecipientSelectionChanged);
    connect(m_recipients, &QListWidget::itemChanged, this, &EmailSettingsDialog::onRecipientEdited);
    onRecipientSelectionChanged();
}

QColor EmailSettingsDialog::warningColour()
{
    // Reads as a warning on light and dark backgrounds alike.
    return QColor(0xe0, 0x1b, 0x24);
}

void EmailSettingsDialog::addRecipient()
{
    auto *item = new QListWidgetItem(m_recipients);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_recipients->setCurrentItem(item);
    m_recipients->editItem(item);
}

void EmailSettingsDialog::removeRecipient()
{
    qDeleteAll(m_recipients->selectedItems());
}

void EmailSettingsDialog::onRecipientSelectionChanged()
{
    m_remove->setEnabled(!m_recipients->selectedItems().isEmpty());
}

void EmailSettingsDialog::onRecipientEdited(QListWidgetItem *item)
{
    const QString address = item->text().trimmed();
    const bool refused = !address.isEmpty() && !MailSettings::isValidRecipient(address);
    // Clearing the role, not setting a colour, keeps the style's own text colour.
    item->setData(Qt::ForegroundRole, refused ? QVariant(warningColour()) : QVariant());
}

void EmailSettingsDialog::accept()
{
    QStringList kept;
    QStringList refused;
    for (int row = 0; row < m_recipients->count(); ++row) {
        const QString address = m_recipients->item(row)->text().trimmed();
        if (MailSettings::isValidRecipient(address))
            kept.append(address);
        else if (!address.isEmpty())
            refused.append(address);
    }
    if (!refused.isEmpty()) {
        const QString text =
            tr("These recipients are not valid mail addresses and will not be saved:\n\n%1\n\n"
               "Save the settings without them?")
                .arg(refused.join(QLatin1Char('\n')));
        const int answer = QuestionBox::ask(this, QMessageBox::Warning, tr("Invalid Recipients"),
                                            text, {{tr("Save"), tr("Cancel")}, 1, 1});
        if (answer != 0)
            return;
    }
    const MailSettings settings = settingsFromControls(kept);
    if (settings != m_document->mailSettings())
        m_document->undoStack()->push(new SetEmailSettingsCommand(settings));
    QDialog::accept();
}

MailSettings EmailSettingsDialog::settingsFromControls(const QStringList &recipients) const
{
    const MailSettings &current = m_document->mailSettings();
    MailSettings settings;
    settings.enabled = m_enabled->isChecked();
    settings.sendForManualUploads = m_manualUploads->isChecked();
    settings.server = m_server->text();
    settings.port = quint16(m_port->value());
    settings.username = m_username->text();
    settings.recipients = recipients;
    // An unchanged password keeps its stored form.
    const bool samePassword = m_password->text() == PasswordCipher::decode(current.password);
    settings.password =
        samePassword ? current.password : PasswordCipher::encode(m_password->text());
    return settings;
}
