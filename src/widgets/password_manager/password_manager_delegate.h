#pragma once

#include <QList>
#include <QPointer>
#include <QStyledItemDelegate>

class QLineEdit;

// Edits a password cell in a line edit that hides its text (and refuses to
// copy it) unless passwords are shown. The line edit holds the plain text;
// the model receives it enciphered, and only when it changed.
class PasswordManagerDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PasswordManagerDelegate(QObject *parent = nullptr);

    // Also applies to the editors already open.
    void setPasswordsVisible(bool visible);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    bool m_passwordsVisible = false;
    mutable QList<QPointer<QLineEdit>> m_editors;
};
