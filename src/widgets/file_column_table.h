#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

// A table whose current row always shows the editor of its file column, so
// that the path can be typed or browsed for without opening an editor first.
class FileColumnTable : public QTableView
{
    Q_OBJECT

public:
    FileColumnTable(int fileColumn, QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // The selected rows, top to bottom.
    QList<int> selectedRowNumbers() const;

public slots:
    void onCurrentChanged(const QModelIndex &current, const QModelIndex &previous);

private:
    int m_fileColumn;
    QPersistentModelIndex m_editorIndex;
};
