#pragma once

#include "tree_item.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <memory>

// A model over a tree of TreeItems under one invisible root: every question
// about a cell is passed to its item. Columns are the header texts.
class TreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit TreeModel(const QStringList &headers, QObject *parent = nullptr);
    ~TreeModel() override;

    TreeItem *rootItem() const { return m_root.get(); }
    // The item of the index; the root for an invalid index, null for a row
    // that is gone.
    TreeItem *itemFromIndex(const QModelIndex &index) const;
    QModelIndex indexFromItem(const TreeItem *item, int column = 0) const;
    // The index of the row under `parentItem`, without reading its item.
    QModelIndex childIndex(const TreeItem *parentItem, int row, int column) const;

    // Takes ownership of the item and places it under `parentItem` at `row`.
    void insertItem(TreeItem *parentItem, int row, TreeItem *item);
    void appendItem(TreeItem *parentItem, TreeItem *item)
    {
        insertItem(parentItem, parentItem->childCount(), item);
    }
    // Removes and destroys the item with its rows.
    void removeItem(TreeItem *item);
    // Every row goes; the headers stay.
    void clear();

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

private:
    std::unique_ptr<TreeItem> m_root;
    QStringList m_headers;
};
