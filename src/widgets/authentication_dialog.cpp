#include "authentication_dialog.h"

#include <QAuthenticator>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

AuthenticationDialog::AuthenticationDialog(QAuthenticator *authenticator, QWidget *parent)
    : QDialog(parent), m_authenticator(authenticator), m_password(new QLineEdit(this))
{
    // The title is spelled as the product has always shown it.
    setWindowTitle(tr("Authenication Required"));
    m_password->setEchoMode(QLineEdit::Password);

    auto *fields = new QFormLayout;
    fields->addRow(tr("Password"), m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AuthenticationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AuthenticationDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Enter the administration password"), this));
    layout->addLayout(fields);
    layout->addWidget(buttons);
    m_password->setFocus();
}

bool AuthenticationDialog::askAdministrator(QAuthenticator *authenticator, QWidget *parent)
{
    authenticator->setUser(QStringLiteral("admin"));
    // The parent may go while the dialog runs, and take the dialog with it.
    QPointer<AuthenticationDialog> dialog = new AuthenticationDialog(authenticator, parent);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    delete dialog;
    return accepted;
}

void AuthenticationDialog::accept()
{
    m_authenticator->setPassword(m_password->text());
    QDialog::accept();
}
