#include "recent_file_delegate.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int IconSize = 32;
constexpr int Margin = 9;

QFont largeBold(QFont font)
{
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    return font;
}

} // namespace

void RecentFileDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The selection and hover background only; icon and text are ours.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);

    const QRect area = option.rect.adjusted(Margin, 0, -Margin, 0);
    const QRect iconRect(area.left(), area.top() + (area.height() - IconSize) / 2, IconSize,
                         IconSize);
    item.icon.paint(painter, iconRect);

    const QPalette::ColorRole role =
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    const QRect textRect = area.adjusted(IconSize + Margin, 0, 0, 0);
    painter->save();
    painter->setFont(largeBold(option.font));
    painter->setPen(option.palette.color(role));
    const QString text =
        painter->fontMetrics().elidedText(item.text, Qt::ElideMiddle, textRect.width());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    painter->restore();
}

QSize RecentFileDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {100, 50};
}
