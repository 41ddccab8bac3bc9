#include "file_column_table.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

FileColumnTable::FileColumnTable(int fileColumn, QWidget *parent)
    : QTableView(parent), m_fileColumn(fileColumn)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
}

void FileColumnTable::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FileColumnTable::onCurrentChanged);
}

QList<int> FileColumnTable::selectedRowNumbers() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileColumnTable::onCurrentChanged(const QModelIndex &current, const QModelIndex &)
{
    const QModelIndex file =
        current.isValid() ? current.siblingAtColumn(m_fileColumn) : QModelIndex();
    if (file == m_editorIndex && isPersistentEditorOpen(file))
        return;
    if (m_editorIndex.isValid())
        closePersistentEditor(m_editorIndex);
    m_editorIndex = file;
    if (file.isValid() && (file.flags() & Qt::ItemIsEditable))
        openPersistentEditor(file);
}
