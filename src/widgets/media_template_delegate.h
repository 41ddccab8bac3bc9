#pragma once

#include "file_column_delegate.h"

// Edits the media table: a clip's name in a line edit, its file (or a
// general show's media folder) in a FilePathEditor starting where the last
// media file or folder was chosen.
class MediaTemplateDelegate : public FileColumnDelegate
{
    Q_OBJECT

public:
    using FileColumnDelegate::FileColumnDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
