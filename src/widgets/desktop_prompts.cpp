#include "desktop_prompts.h"

#include "password_entry_dialog.h"
#include "question_box.h"

#include <QPointer>

DesktopPrompts::DesktopPrompts(std::function<QWidget *()> parentWindow)
    : m_parentWindow(std::move(parentWindow))
{}

void DesktopPrompts::warn(const QString &title, const QString &text)
{
    QuestionBox::ask(m_parentWindow(), QMessageBox::Warning, title, text, QMessageBox::Ok,
                     QMessageBox::Ok);
}

bool DesktopPrompts::askYesNo(const QString &title, const QString &text)
{
    return QuestionBox::ask(m_parentWindow(), QMessageBox::Question, title, text,
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> DesktopPrompts::askPassword(const QString &label, const QString &previous)
{
    // The main window may close while the dialog runs and take it along:
    // that counts as cancelled.
    QPointer<PasswordEntryDialog> dialog =
        new PasswordEntryDialog(label, previous, m_parentWindow());
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return std::nullopt;
    const QString result = dialog->result();
    delete dialog;
    if (!accepted)
        return std::nullopt;
    return result;
}
