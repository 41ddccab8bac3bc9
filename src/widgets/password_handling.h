#pragma once

class LumDocument;
class QWidget;

// The master password checks of opening and saving a project.
class PasswordHandling
{
public:
    // The master password prompt loop; true when the right password was given.
    static bool askMasterPassword(LumDocument *document, QWidget *parent);
    // After loading: when the document has a master password, the prompt and, if the operator gives
    // up, "Reset Passwords" (Reset empties every password and gives true). False: the operator
    // cancelled; the caller closes the project.
    static bool checkMasterPasswordOnOpen(LumDocument *document, QWidget *parent);
    // Before every save: "Passwords are cached" when needed (may clear the passwords). False: do
    // not save.
    static bool confirmSaveWithPasswords(LumDocument *document, QWidget *parent);
};
