#include "media_template_delegate.h"

#include "file_path_editor.h"
#include "media_template_model.h"

namespace {
const QString lastFolderKey = QStringLiteral("File/LastFrameArrayFolder");
const QString lastMediaFileKey = QStringLiteral("File/LastMediaFile");

bool isFolderRow(const QModelIndex &index)
{
    const auto *model = qobject_cast<const MediaTemplateModel *>(index.model());
    return model && model->mediaType(index.row()) == MediaType_Folder;
}
} // namespace

QWidget *MediaTemplateDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                             const QModelIndex &index) const
{
    if (index.column() != MediaTemplateModel::Column_File) {
        QWidget *editor = FileColumnDelegate::createEditor(parent, option, index);
        editor->setAccessibleName(tr("Name"));
        return editor;
    }
    auto *editor = new FilePathEditor(parent);
    const bool folder = isFolderRow(index);
    editor->setFolderMode(folder);
    editor->setFilters({tr("All files (*.*)")});
    editor->setDefaultDirectory(
        FilePathEditor::rememberedDirectory(folder ? lastFolderKey : lastMediaFileKey));
    editor->setFieldName(folder ? tr("Media folder") : tr("Media file"));
    connect(editor, &FilePathEditor::accepted, this, &MediaTemplateDelegate::onFilePathAccepted);
    connect(editor, &FilePathEditor::rejected, this, &MediaTemplateDelegate::onFilePathRejected);
    return editor;
}

void MediaTemplateDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *pathEditor = qobject_cast<FilePathEditor *>(editor))
        pathEditor->setPath(index.data(Qt::EditRole).toString());
    else
        FileColumnDelegate::setEditorData(editor, index);
}

void MediaTemplateDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                         const QModelIndex &index) const
{
    auto *pathEditor = qobject_cast<FilePathEditor *>(editor);
    if (!pathEditor) {
        FileColumnDelegate::setModelData(editor, model, index);
        return;
    }
    FilePathEditor::rememberDirectory(isFolderRow(index) ? lastFolderKey : lastMediaFileKey,
                                      pathEditor->path());
    model->setData(index, pathEditor->path());
}
