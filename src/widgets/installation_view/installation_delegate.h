#pragma once

#include <QStyledItemDelegate>

// The tree's editors (a line edit for hostnames, spin boxes for ports) and
// its progress bars: column 8 draws a bar for a percentage, nothing for a row
// without progress, and a message as text.
class InstallationDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
