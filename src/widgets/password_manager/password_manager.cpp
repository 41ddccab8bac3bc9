#include "password_manager.h"

#include "lum_document.h"
#include "password_cipher.h"
#include "password_handling.h"
#include "password_manager_delegate.h"
#include "password_manager_model.h"
#include "password_manager_view.h"
#include "question_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const char positionKey[] = "PasswordManager/Geometry/Position";
const char sizeKey[] = "PasswordManager/Geometry/Size";

QLineEdit *passwordEdit(QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

PasswordManager::PasswordManager(LumDocument *document, QWidget *parent)
    : QDialog(parent), m_document(document), m_masterEdit(passwordEdit(this)),
      m_confirmEdit(passwordEdit(this)), m_editButton(new QPushButton(tr("Edit"), this)),
      m_model(new PasswordManagerModel(document, this)),
      m_delegate(new PasswordManagerDelegate(this)),
      m_view(new PasswordManagerView(document, this)),
      m_showAllButton(new QPushButton(tr("Show All"), this)),
      m_clearAllButton(new QPushButton(tr("Clear All"), this)),
      m_unlocked(document->masterPassword().isEmpty())
{
    setWindowTitle(tr("Password Manager"));

    m_masterEdit->setText(PasswordCipher::decode(document->masterPassword()));
    m_masterEdit->setEnabled(m_unlocked);
    m_confirmEdit->setEnabled(m_unlocked);
    // Only what the operator types counts as an edit, not the text filled in.
    connect(m_masterEdit, &QLineEdit::textEdited, this, &PasswordManager::onMasterPasswordEdit);
    connect(m_editButton, &QPushButton::clicked, this,
            &PasswordManager::onEditMasterPasswordClicked);

    m_view->setModel(m_model);
    m_view->setItemDelegate(m_delegate);
    m_view->setAccessibleName(tr("Passwords"));
    m_view->expandAll();

    m_showAllButton->setCheckable(true);
    connect(m_showAllButton, &QPushButton::toggled, this, &PasswordManager::setPasswordsVisible);
    connect(m_clearAllButton, &QPushButton::clicked, this, &PasswordManager::clearAll);
    // Return in a line edit must not toggle these.
    m_showAllButton->setAutoDefault(false);
    m_clearAllButton->setAutoDefault(false);
    m_editButton->setAutoDefault(false);

    auto *masterLabel = new QLabel(tr("Master Password"), this);
    masterLabel->setBuddy(m_masterEdit);
    auto *confirmLabel = new QLabel(tr("Confirm Master Password"), this);
    confirmLabel->setBuddy(m_confirmEdit);
    auto *master = new QGridLayout;
    master->addWidget(masterLabel, 0, 0);
    master->addWidget(m_masterEdit, 0, 1);
    master->addWidget(m_editButton, 0, 2);
    master->addWidget(confirmLabel, 1, 0);
    master->addWidget(m_confirmEdit, 1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordManager::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PasswordManager::reject);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_showAllButton);
    bottom->addWidget(m_clearAllButton);
    bottom->addStretch();
    bottom->addWidget(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(master);
    layout->addWidget(m_view);
    layout->addLayout(bottom);
    restoreGeometry();
}

void PasswordManager::restoreGeometry()
{
    const QSettings settings;
    if (settings.contains(QLatin1String(sizeKey)))
        resize(settings.value(QLatin1String(sizeKey)).toSize());
    if (settings.contains(QLatin1String(positionKey)))
        move(settings.value(QLatin1String(positionKey)).toPoint());
}

bool PasswordManager::unlock()
{
    if (!m_unlocked)
        m_unlocked = PasswordHandling::askMasterPassword(m_document, this);
    return m_unlocked;
}

void PasswordManager::onEditMasterPasswordClicked()
{
    if (!unlock())
        return;
    m_masterEdit->setEnabled(true);
    m_confirmEdit->setEnabled(true);
    m_masterEdit->setFocus();
    m_masterEdit->selectAll();
}

void PasswordManager::onMasterPasswordEdit()
{
    m_masterEdited = true;
}

void PasswordManager::setPasswordsVisible(bool visible)
{
    if (visible && !unlock()) {
        const QSignalBlocker blocker(m_showAllButton);
        m_showAllButton->setChecked(false);
        return;
    }
    m_showAllButton->setText(visible ? tr("Hide All") : tr("Show All"));
    m_model->setPasswordsVisible(visible);
    m_delegate->setPasswordsVisible(visible);
}

void PasswordManager::clearAll()
{
    m_model->clearAll();
}

void PasswordManager::accept()
{
    if (m_masterEdited && m_masterEdit->text() != m_confirmEdit->text()) {
        QuestionBox::ask(this, QMessageBox::Warning, tr("Password mismatch"),
                         tr("The master password confirmation doesn't match the master password"),
                         QMessageBox::Ok, QMessageBox::Ok);
        m_masterEdit->setFocus();
        m_masterEdit->selectAll();
        return;
    }
    // A cell still being edited holds a change too.
    if (QWidget *editor = m_view->indexWidget(m_view->currentIndex()))
        m_delegate->setModelData(editor, m_model, m_view->currentIndex());
    if (m_masterEdited)
        m_document->setMasterPassword(PasswordCipher::encode(m_masterEdit->text()));
    if (QUndoCommand *changes = m_model->takeChanges())
        m_document->undoStack()->push(changes);
    QDialog::accept();
}

void PasswordManager::done(int result)
{
    QSettings settings;
    settings.setValue(QLatin1String(positionKey), pos());
    settings.setValue(QLatin1String(sizeKey), size());
    QDialog::done(result);
}
