#include "password_entry_dialog.h"

#include "password_cipher.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

PasswordEntryDialog::PasswordEntryDialog(const QString &label, const QString &previous,
                                         QWidget *parent)
    : QDialog(parent), m_label(new QLabel(label, this)), m_password(new QLineEdit(this)),
      m_result(previous)
{
    setWindowTitle(tr("Password Required"));
    m_label->setWordWrap(true);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setText(PasswordCipher::decode(previous));
    m_password->selectAll();
    connect(m_password, &QLineEdit::editingFinished, this, &PasswordEntryDialog::onPasswordChanged);

    auto *fields = new QFormLayout;
    fields->addRow(tr("Password"), m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordEntryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PasswordEntryDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    m_password->setFocus();
}

PasswordEntryDialog::~PasswordEntryDialog()
{
    // The line edit loses its focus as the widgets are torn down and
    // finishes editing then: this part of the dialog is gone by that time.
    m_password->disconnect(this);
}

void PasswordEntryDialog::onPasswordChanged()
{
    m_result = PasswordCipher::encode(m_password->text());
}

void PasswordEntryDialog::accept()
{
    // OK taken by its shortcut leaves the line edit focused, so editing has
    // not finished: the text typed must count all the same.
    onPasswordChanged();
    QDialog::accept();
}
