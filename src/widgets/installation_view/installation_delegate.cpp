#include "installation_delegate.h"

#include "installation_model.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QSpinBox>

QWidget *InstallationDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    switch (index.column()) {
    case InstallationModel::Column_HOSTNAME: {
        auto *edit = new QLineEdit(parent);
        edit->setFrame(false);
        return edit;
    }
    case InstallationModel::Column_HTTP_PORT:
    case InstallationModel::Column_FTP_PORT: {
        auto *spin = new QSpinBox(parent);
        spin->setFrame(false);
        spin->setRange(0, 65535);
        return spin;
    }
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void InstallationDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                const QModelIndex &index) const
{
    if (index.column() == InstallationModel::Column_NAME)
        editor->setGeometry(option.rect);
    else
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

void InstallationDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const QVariant value = index.data(Qt::DisplayRole);
    if (index.column() != InstallationModel::Column_PROGRESS || value.typeId() != QMetaType::UInt) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row's background and selection, without the number as text.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    const uint percent = value.toUInt();
    if (percent == InstallationModel::NoProgress)
        return;
    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(1, 1, -1, -1);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = int(qMin(percent, 100u));
    bar.text = tr("%1%").arg(percent);
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}
