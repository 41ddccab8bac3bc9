#pragma once

#include "file_column_delegate.h"

// Edits the controller table: the number in a spin box, the hardware type in
// a combo box of the types a template offers, the name in a line edit and
// the show file in a FilePathEditor whose filters follow the row's type.
class InstallationTemplateDelegate : public FileColumnDelegate
{
    Q_OBJECT

public:
    using FileColumnDelegate::FileColumnDelegate;

    // The show-file filters for a hardware type, "All files" last.
    static QStringList showFileFilters(int hardwareType);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
