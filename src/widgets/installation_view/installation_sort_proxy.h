#pragma once

#include "tree_item.h"

#include <QAbstractProxyModel>

class TreeItem;
class TreeModel;

// The tree's sort proxy, over a TreeModel: rows sorted by a column's text or
// number (ties keep the model's order), kept sorted as their cells change,
// or in the model's own order when no column sorts. The order in which each
// row's children are shown is kept in the row's item (TreeItem::shownOrder),
// so mapping a row between the model and the proxy needs no look-up. That
// matters at fleet scale, where the upload feedback changes thousands of
// cells a second: a change to cells that do not decide the order is mapped
// with a few reads from memory. One sort proxy per model.
class InstallationSortProxy : public QAbstractProxyModel
{
    Q_OBJECT

public:
    explicit InstallationSortProxy(QObject *parent = nullptr);

    // Only a TreeModel (or none).
    void setSourceModel(QAbstractItemModel *model) override;

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool sorted() const { return m_sortColumn >= 0; }
    // The item whose children the proxy index's rows are (the index carries
    // it); the root for an invalid index.
    const TreeItem *parentItemOf(const QModelIndex &proxyIndex) const;
    const TreeItem *itemOf(const QModelIndex &proxyIndex) const;
    QModelIndex proxyIndexOf(const TreeItem *item) const;
    int shownRow(const TreeItem *parentItem, int sourceRow) const;
    int sourceRow(const TreeItem *parentItem, int shownRow) const;
    // The item's order under the current sorting, made when first needed.
    TreeItem::ShownOrder &order(const TreeItem *parentItem) const;
    std::vector<int> sortedRows(const TreeItem *parentItem) const;
    bool lessThan(const TreeItem *parentItem, int left, int right) const;
    bool shownBefore(const TreeItem *parentItem, int left, int right) const;
    static void indexShownRows(TreeItem::ShownOrder &order, int sourceCount);
    static void shiftSourceRows(TreeItem::ShownOrder &order, int from, int by, int sourceCount);

    void onRowsAboutToBeInserted(const QModelIndex &parent, int first, int last);
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void onRowsRemoved(const QModelIndex &parent, int first, int last);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                       const QList<int> &roles);
    void resortChildren(const TreeItem *parentItem);

    // Every row in a new order (a new sorting, or the model's own rows
    // rearranged): persistent indexes follow their rows.
    void beginNewOrder();
    void endNewOrder();

    TreeModel *m_model = nullptr;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_sorting = 0;
    QList<QPersistentModelIndex> m_heldRows;
    QModelIndexList m_heldProxyIndexes;
};
