#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// "Password Required": asks for one password. It is given the enciphered
// previous attempt (filled in and selected, so typing replaces it) and
// hands back the enciphered form of what was typed; the plain text stays in
// its password-mode line edit.
class PasswordEntryDialog : public QDialog
{
    Q_OBJECT

public:
    PasswordEntryDialog(const QString &label, const QString &previous, QWidget *parent = nullptr);
    ~PasswordEntryDialog() override;

    // The enciphered password: the previous attempt until the text is edited.
    QString result() const { return m_result; }

public slots:
    void accept() override;

private slots:
    void onPasswordChanged();

private:
    QLabel *m_label;
    QLineEdit *m_password;
    QString m_result;
};
