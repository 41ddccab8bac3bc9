#include "password_handling.h"

#include "lum_document.h"
#include "password_entry_dialog.h"
#include "question_box.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PasswordHandling", text);
}

} // namespace

bool PasswordHandling::askMasterPassword(LumDocument *document, QWidget *parent)
{
    if (document->masterPassword().isEmpty())
        return true;
    QString attempt;
    bool wrong = false;
    for (;;) {
        QPointer<PasswordEntryDialog> dialog =
            new PasswordEntryDialog(tr("Enter the master password"), attempt, parent);
        if (wrong)
            dialog->setWindowTitle(dialog->windowTitle() + tr(" - Password is incorrect"));
        const bool accepted = dialog->exec() == QDialog::Accepted;
        // Gone with its parent: nobody is left to answer.
        if (!dialog)
            return false;
        attempt = dialog->result();
        delete dialog;
        if (!accepted)
            return false;
        if (attempt == document->masterPassword())
            return true;
        wrong = true;
    }
}

bool PasswordHandling::checkMasterPasswordOnOpen(LumDocument *document, QWidget *parent)
{
    if (document->masterPassword().isEmpty() || askMasterPassword(document, parent))
        return true;
    enum
    {
        Reset,
        Cancel
    };
    const int answer =
        QuestionBox::ask(parent, QMessageBox::Question, tr("Reset Passwords"),
                         tr("Do you want to reset all passwords in the file?\n"
                            "Doing this may mean that you cannot upload to controllers."),
                         {{tr("Reset"), tr("Cancel")}, Cancel, Cancel});
    if (answer != Reset)
        return false;
    document->resetPasswords(true);
    return true;
}

bool PasswordHandling::confirmSaveWithPasswords(LumDocument *document, QWidget *parent)
{
    if (!document->masterPassword().isEmpty() || !document->hasEntityPasswords())
        return true;
    enum
    {
        SaveWith,
        SaveWithout,
        Cancel
    };
    const int answer = QuestionBox::ask(
        parent, QMessageBox::Question, tr("Passwords are cached"),
        tr("There are passwords saved for controllers but there is no master password on the "
           "file.\nThis may allow unauthorised access to controllers in future.\n"
           "Do you want to save the passwords?"),
        {{tr("Save with passwords"), tr("Save without passwords"), tr("Cancel")},
         SaveWith,
         Cancel});
    if (answer == SaveWithout)
        document->resetPasswords(false);
    return answer != Cancel;
}
