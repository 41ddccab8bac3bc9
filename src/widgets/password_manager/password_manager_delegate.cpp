#include "password_manager_delegate.h"

#include "password_cipher.h"
#include "password_manager_item.h"

#include <QLineEdit>

PasswordManagerDelegate::PasswordManagerDelegate(QObject *parent) : QStyledItemDelegate(parent)
{}

void PasswordManagerDelegate::setPasswordsVisible(bool visible)
{
    m_passwordsVisible = visible;
    m_editors.removeAll(nullptr);
    for (QLineEdit *editor : std::as_const(m_editors))
        editor->setEchoMode(visible ? QLineEdit::Normal : QLineEdit::Password);
}

QWidget *PasswordManagerDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    if (index.column() != PasswordManagerItem::Column_PASSWORD)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *editor = new QLineEdit(parent);
    editor->setEchoMode(m_passwordsVisible ? QLineEdit::Normal : QLineEdit::Password);
    editor->setAccessibleName(tr("Password"));
    m_editors.removeAll(nullptr);
    m_editors << editor;
    return editor;
}

void PasswordManagerDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *lineEdit = qobject_cast<QLineEdit *>(editor);
    if (!lineEdit || index.column() != PasswordManagerItem::Column_PASSWORD)
        return QStyledItemDelegate::setEditorData(editor, index);
    lineEdit->setText(PasswordCipher::decode(index.data(Qt::EditRole).toString()));
}

void PasswordManagerDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                           const QModelIndex &index) const
{
    auto *lineEdit = qobject_cast<QLineEdit *>(editor);
    if (!lineEdit || index.column() != PasswordManagerItem::Column_PASSWORD)
        return QStyledItemDelegate::setModelData(editor, model, index);
    const QString enciphered = PasswordCipher::encode(lineEdit->text());
    if (enciphered != index.data(Qt::EditRole).toString())
        model->setData(index, enciphered, Qt::EditRole);
}
