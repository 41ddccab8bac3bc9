#pragma once

#include <QStyledItemDelegate>

// Edits the media table: a clip's name in a line edit, its file (or a
// general show's media folder) in a FilePathEditor starting where the last
// media file or folder was chosen.
class MediaTemplateDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

public slots:
    void onFilePathAccepted();
    void onFilePathRejected();
};
