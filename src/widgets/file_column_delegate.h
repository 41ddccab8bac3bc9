#pragma once

#include <QStyledItemDelegate>

// The delegate of a FileColumnTable: a FilePathEditor's answer commits its
// path and closes it, or closes it unchanged.
class FileColumnDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

public slots:
    void onFilePathAccepted();
    void onFilePathRejected();
};
