#include "file_column_delegate.h"

void FileColumnDelegate::onFilePathAccepted()
{
    auto *editor = qobject_cast<QWidget *>(sender());
    emit commitData(editor);
    emit closeEditor(editor);
}

void FileColumnDelegate::onFilePathRejected()
{
    emit closeEditor(qobject_cast<QWidget *>(sender()));
}
