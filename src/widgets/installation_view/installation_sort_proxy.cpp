#include "installation_sort_proxy.h"

#include "lum_assert.h"
#include "tree_model.h"

#include <algorithm>
#include <numeric>

namespace {

// Every sorting gets its own number, across proxies, so that an order that
// an earlier proxy left in an item is never taken for a current one.
int newSortingNumber()
{
    static int last = 0;
    return ++last;
}

// Numbers and times by value, everything else by its text (case-sensitive);
// an empty cell after any other.
bool variantLessThan(const QVariant &left, const QVariant &right)
{
    if (!left.isValid())
        return false;
    if (!right.isValid())
        return true;
    if (left.typeId() != QMetaType::QString && right.typeId() != QMetaType::QString) {
        const QPartialOrdering order = QVariant::compare(left, right);
        if (order != QPartialOrdering::Unordered)
            return order == QPartialOrdering::Less;
    }
    return left.toString().compare(right.toString()) < 0;
}

} // namespace

InstallationSortProxy::InstallationSortProxy(QObject *parent)
    : QAbstractProxyModel(parent), m_sorting(newSortingNumber())
{}

void InstallationSortProxy::setSourceModel(QAbstractItemModel *model)
{
    auto *treeModel = qobject_cast<TreeModel *>(model);
    LUM_ASSERT(treeModel || !model);
    beginResetModel();
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = treeModel;
    QAbstractProxyModel::setSourceModel(model);
    m_sorting = newSortingNumber();
    if (m_model) {
        connect(m_model, &QObject::destroyed, this, [this] { m_model = nullptr; });
        connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                &InstallationSortProxy::onRowsAboutToBeInserted);
        connect(m_model, &QAbstractItemModel::rowsInserted, this,
                &InstallationSortProxy::onRowsInserted);
        connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                &InstallationSortProxy::onRowsAboutToBeRemoved);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this,
                &InstallationSortProxy::onRowsRemoved);
        connect(m_model, &QAbstractItemModel::dataChanged, this,
                &InstallationSortProxy::onDataChanged);
        connect(m_model, &QAbstractItemModel::headerDataChanged, this,
                &QAbstractItemModel::headerDataChanged);
        connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
                &InstallationSortProxy::beginResetModel);
        connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
            m_sorting = newSortingNumber();
            endResetModel();
        });
        // Rows that move, or the model's own new layout, change every row's
        // place: the rows are placed again. Columns that come or go reset.
        connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this,
                &InstallationSortProxy::beginNewOrder);
        connect(m_model, &QAbstractItemModel::rowsMoved, this, &InstallationSortProxy::endNewOrder);
        connect(m_model, &QAbstractItemModel::columnsAboutToBeMoved, this,
                &InstallationSortProxy::beginNewOrder);
        connect(m_model, &QAbstractItemModel::columnsMoved, this,
                &InstallationSortProxy::endNewOrder);
        connect(m_model, &QAbstractItemModel::columnsAboutToBeInserted, this,
                &InstallationSortProxy::beginResetModel);
        connect(m_model, &QAbstractItemModel::columnsAboutToBeRemoved, this,
                &InstallationSortProxy::beginResetModel);
        const auto endColumnChange = [this] {
            m_sorting = newSortingNumber();
            endResetModel();
        };
        connect(m_model, &QAbstractItemModel::columnsInserted, this, endColumnChange);
        connect(m_model, &QAbstractItemModel::columnsRemoved, this, endColumnChange);
        connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this,
                &InstallationSortProxy::beginNewOrder);
        connect(m_model, &QAbstractItemModel::layoutChanged, this,
                &InstallationSortProxy::endNewOrder);
    }
    endResetModel();
}

void InstallationSortProxy::sort(int column, Qt::SortOrder order)
{
    beginNewOrder();
    m_sortColumn = column < columnCount() ? std::max(-1, column) : -1;
    m_sortOrder = order;
    endNewOrder();
}

// --- Mapping ------------------------------------------------------------------------

QModelIndex InstallationSortProxy::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!m_model || !proxyIndex.isValid())
        return {};
    const TreeItem *parentItem = parentItemOf(proxyIndex);
    const int row = sourceRow(parentItem, proxyIndex.row());
    return row < 0 ? QModelIndex() : m_model->childIndex(parentItem, row, proxyIndex.column());
}

QModelIndex InstallationSortProxy::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!m_model || !sourceIndex.isValid())
        return {};
    // A TreeModel's index carries its parent's item.
    const auto *parentItem = static_cast<const TreeItem *>(sourceIndex.internalPointer());
    const int row = shownRow(parentItem, sourceIndex.row());
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column(), parentItem);
}

QModelIndex InstallationSortProxy::index(int row, int column, const QModelIndex &parent) const
{
    const TreeItem *parentItem = itemOf(parent);
    if (!parentItem || column < 0 || column >= columnCount() || row < 0 || row >= rowCount(parent))
        return {};
    return createIndex(row, column, parentItem);
}

QModelIndex InstallationSortProxy::parent(const QModelIndex &child) const
{
    return child.isValid() ? proxyIndexOf(parentItemOf(child)) : QModelIndex();
}

QModelIndex InstallationSortProxy::sibling(int row, int column, const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    if (row == index.row() && column >= 0 && column < columnCount())
        return createIndex(row, column, index.internalPointer());
    return InstallationSortProxy::index(row, column, parent(index));
}

int InstallationSortProxy::rowCount(const QModelIndex &parent) const
{
    const TreeItem *item = parent.column() > 0 ? nullptr : itemOf(parent);
    if (!item)
        return 0;
    return sorted() ? int(order(item).sourceRows.size()) : item->childCount();
}

int InstallationSortProxy::columnCount(const QModelIndex &) const
{
    return m_model ? m_model->columnCount() : 0;
}

bool InstallationSortProxy::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant InstallationSortProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_model)
        return {};
    if (orientation == Qt::Vertical)
        section = sourceRow(m_model->rootItem(), section);
    return m_model->headerData(section, orientation, role);
}

const TreeItem *InstallationSortProxy::parentItemOf(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid())
        return m_model ? m_model->rootItem() : nullptr;
    return static_cast<const TreeItem *>(proxyIndex.internalPointer());
}

const TreeItem *InstallationSortProxy::itemOf(const QModelIndex &proxyIndex) const
{
    const TreeItem *parentItem = parentItemOf(proxyIndex);
    if (!proxyIndex.isValid() || !parentItem)
        return parentItem;
    return parentItem->child(sourceRow(parentItem, proxyIndex.row()));
}

QModelIndex InstallationSortProxy::proxyIndexOf(const TreeItem *item) const
{
    if (!m_model || !item || item == m_model->rootItem())
        return {};
    const TreeItem *parentItem = item->parent();
    const int row = shownRow(parentItem, item->row());
    return row < 0 ? QModelIndex() : createIndex(row, 0, parentItem);
}

int InstallationSortProxy::shownRow(const TreeItem *parentItem, int sourceRow) const
{
    if (!sorted())
        return sourceRow;
    const std::vector<int> &rows = order(parentItem).shownRows;
    return sourceRow >= 0 && size_t(sourceRow) < rows.size() ? rows[size_t(sourceRow)] : -1;
}

int InstallationSortProxy::sourceRow(const TreeItem *parentItem, int shownRow) const
{
    if (!sorted())
        return shownRow;
    const std::vector<int> &rows = order(parentItem).sourceRows;
    return shownRow >= 0 && size_t(shownRow) < rows.size() ? rows[size_t(shownRow)] : -1;
}

// --- Orders -------------------------------------------------------------------------

TreeItem::ShownOrder &InstallationSortProxy::order(const TreeItem *parentItem) const
{
    TreeItem::ShownOrder &order = parentItem->shownOrder();
    if (order.sorting != m_sorting) {
        order.sourceRows = sortedRows(parentItem);
        indexShownRows(order, parentItem->childCount());
        order.sorting = m_sorting;
    }
    return order;
}

std::vector<int> InstallationSortProxy::sortedRows(const TreeItem *parentItem) const
{
    std::vector<int> rows(size_t(parentItem->childCount()));
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](int left, int right) {
        return m_sortOrder == Qt::AscendingOrder ? lessThan(parentItem, left, right)
                                                 : lessThan(parentItem, right, left);
    });
    return rows;
}

bool InstallationSortProxy::lessThan(const TreeItem *parentItem, int left, int right) const
{
    return variantLessThan(
        m_model->data(m_model->childIndex(parentItem, left, m_sortColumn), Qt::DisplayRole),
        m_model->data(m_model->childIndex(parentItem, right, m_sortColumn), Qt::DisplayRole));
}

// The order a sort gives: by the column, and rows alike in it as in the model.
bool InstallationSortProxy::shownBefore(const TreeItem *parentItem, int left, int right) const
{
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    if (lessThan(parentItem, ascending ? left : right, ascending ? right : left))
        return true;
    return !lessThan(parentItem, ascending ? right : left, ascending ? left : right) &&
           left < right;
}

void InstallationSortProxy::indexShownRows(TreeItem::ShownOrder &order, int sourceCount)
{
    order.shownRows.assign(size_t(sourceCount), -1);
    for (size_t shown = 0; shown < order.sourceRows.size(); ++shown) {
        const int row = order.sourceRows[shown];
        if (row >= 0 && row < sourceCount)
            order.shownRows[size_t(row)] = int(shown);
    }
}

// The model's rows from `from` on moved by `by`.
void InstallationSortProxy::shiftSourceRows(TreeItem::ShownOrder &order, int from, int by,
                                            int sourceCount)
{
    for (int &row : order.sourceRows) {
        if (row >= from)
            row += by;
    }
    indexShownRows(order, sourceCount);
}

// --- Following the model ------------------------------------------------------------

// Unsorted, rows are shown as they come; sorted, each new row is shown in
// its place, one at a time, in an order made before the model changed.
void InstallationSortProxy::onRowsAboutToBeInserted(const QModelIndex &parent, int first, int last)
{
    if (!sorted()) {
        beginInsertRows(mapFromSource(parent), first, last);
        return;
    }
    order(m_model->itemFromIndex(parent));
}

void InstallationSortProxy::onRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (!sorted()) {
        endInsertRows();
        return;
    }
    const TreeItem *parentItem = m_model->itemFromIndex(parent);
    TreeItem::ShownOrder &order = parentItem->shownOrder();
    shiftSourceRows(order, first, last - first + 1, parentItem->childCount());
    const QModelIndex proxyParent = proxyIndexOf(parentItem);
    for (int row = first; row <= last; ++row) {
        const auto at = std::upper_bound(
            order.sourceRows.begin(), order.sourceRows.end(), row,
            [&](int newRow, int shown) { return shownBefore(parentItem, newRow, shown); });
        const int shownRow = int(at - order.sourceRows.begin());
        beginInsertRows(proxyParent, shownRow, shownRow);
        order.sourceRows.insert(at, row);
        indexShownRows(order, parentItem->childCount());
        endInsertRows();
    }
}

void InstallationSortProxy::onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (!sorted()) {
        beginRemoveRows(mapFromSource(parent), first, last);
        return;
    }
    const TreeItem *parentItem = m_model->itemFromIndex(parent);
    TreeItem::ShownOrder &shown = order(parentItem);
    const QModelIndex proxyParent = proxyIndexOf(parentItem);
    for (int row = first; row <= last; ++row) {
        const int shownRow = shown.shownRows[size_t(row)];
        if (shownRow < 0)
            continue;
        beginRemoveRows(proxyParent, shownRow, shownRow);
        shown.sourceRows.erase(shown.sourceRows.begin() + shownRow);
        indexShownRows(shown, parentItem->childCount());
        endRemoveRows();
    }
}

void InstallationSortProxy::onRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (!sorted()) {
        endRemoveRows();
        return;
    }
    const TreeItem *parentItem = m_model->itemFromIndex(parent);
    TreeItem::ShownOrder &order = parentItem->shownOrder();
    shiftSourceRows(order, last + 1, -(last - first + 1), parentItem->childCount());
}

// A change to cells that do not decide the order is passed on with the
// rows it covers where they are shown; a change to the sort column places
// the rows again first.
void InstallationSortProxy::onDataChanged(const QModelIndex &topLeft,
                                          const QModelIndex &bottomRight, const QList<int> &roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() ||
        topLeft.internalPointer() != bottomRight.internalPointer())
        return;
    const auto *parentItem = static_cast<const TreeItem *>(topLeft.internalPointer());
    if (sorted() && m_sortColumn >= topLeft.column() && m_sortColumn <= bottomRight.column())
        resortChildren(parentItem);
    int top = shownRow(parentItem, topLeft.row());
    int bottom = top;
    for (int row = topLeft.row() + 1; row <= bottomRight.row(); ++row) {
        const int shown = shownRow(parentItem, row);
        if (shown < 0)
            continue;
        top = top < 0 ? shown : std::min(top, shown);
        bottom = std::max(bottom, shown);
    }
    if (top >= 0)
        emit dataChanged(createIndex(top, topLeft.column(), parentItem),
                         createIndex(bottom, bottomRight.column(), parentItem), roles);
}

void InstallationSortProxy::resortChildren(const TreeItem *parentItem)
{
    TreeItem::ShownOrder &shown = parentItem->shownOrder();
    if (shown.sorting != m_sorting)
        return; // not shown yet: sorted when first asked for
    std::vector<int> rows = sortedRows(parentItem);
    if (rows == shown.sourceRows)
        return;
    const QModelIndex proxyParent = proxyIndexOf(parentItem);
    const QList<QPersistentModelIndex> parents{proxyParent};
    emit layoutAboutToBeChanged(parents, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList held = persistentIndexList();
    QModelIndexList from;
    std::vector<int> heldRows;
    for (const QModelIndex &index : held) {
        if (index.internalPointer() == parentItem) {
            from << index;
            heldRows.push_back(sourceRow(parentItem, index.row()));
        }
    }
    shown.sourceRows = std::move(rows);
    indexShownRows(shown, parentItem->childCount());
    QModelIndexList to;
    for (qsizetype i = 0; i < from.size(); ++i)
        to << createIndex(shownRow(parentItem, heldRows[size_t(i)]), from[i].column(), parentItem);
    changePersistentIndexList(from, to);
    emit layoutChanged(parents, QAbstractItemModel::VerticalSortHint);
}

void InstallationSortProxy::beginNewOrder()
{
    emit layoutAboutToBeChanged();
    m_heldProxyIndexes = persistentIndexList();
    m_heldRows.clear();
    for (const QModelIndex &index : std::as_const(m_heldProxyIndexes))
        m_heldRows << QPersistentModelIndex(mapToSource(index));
}

void InstallationSortProxy::endNewOrder()
{
    m_sorting = newSortingNumber();
    QModelIndexList to;
    for (const QPersistentModelIndex &row : std::as_const(m_heldRows))
        to << mapFromSource(row);
    changePersistentIndexList(m_heldProxyIndexes, to);
    m_heldProxyIndexes.clear();
    m_heldRows.clear();
    emit layoutChanged();
}
