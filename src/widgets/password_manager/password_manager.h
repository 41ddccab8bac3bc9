#pragma once

#include <QDialog>

class LumDocument;
class PasswordManagerDelegate;
class PasswordManagerModel;
class PasswordManagerView;
class QLineEdit;
class QPushButton;

// "Password Manager": the master password and the password of every group,
// installation and controller of the project. A project with a master
// password opens it locked: seeing passwords or changing the master password
// asks for the master password first. Nothing reaches the document before
// OK, which applies every change at once as one undoable step.
class PasswordManager : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordManager(LumDocument *document, QWidget *parent = nullptr);

    bool isUnlocked() const { return m_unlocked; }
    PasswordManagerModel *model() const { return m_model; }
    PasswordManagerView *view() const { return m_view; }

public slots:
    void onEditMasterPasswordClicked();
    void onMasterPasswordEdit();
    void setPasswordsVisible(bool visible);
    void clearAll();
    void accept() override;
    void done(int result) override;

private:
    bool unlock();
    void restoreGeometry();

    LumDocument *m_document;
    QLineEdit *m_masterEdit;
    QLineEdit *m_confirmEdit;
    QPushButton *m_editButton;
    PasswordManagerModel *m_model;
    PasswordManagerDelegate *m_delegate;
    PasswordManagerView *m_view;
    QPushButton *m_showAllButton;
    QPushButton *m_clearAllButton;
    bool m_unlocked;
    bool m_masterEdited = false;
};
