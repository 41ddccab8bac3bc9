#pragma once

#include <QStyledItemDelegate>

// Draws the launch dialog's recent files large: the icon, then the name in a
// bigger bold font, on rows of a fixed height.
class RecentFileDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
