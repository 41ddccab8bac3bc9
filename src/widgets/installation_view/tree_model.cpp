#include "tree_model.h"

TreeModel::TreeModel(const QStringList &headers, QObject *parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<TreeItem>()), m_headers(headers)
{}

TreeModel::~TreeModel() = default;

// An index carries its parent's item, as QStandardItemModel's do: an index
// of a row, and its parent, are then made without reading the row's item.
TreeItem *TreeModel::itemFromIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return m_root.get();
    return static_cast<const TreeItem *>(index.internalPointer())->child(index.row());
}

QModelIndex TreeModel::indexFromItem(const TreeItem *item, int column) const
{
    if (!item || item == m_root.get())
        return {};
    return childIndex(item->parent(), item->row(), column);
}

QModelIndex TreeModel::childIndex(const TreeItem *parentItem, int row, int column) const
{
    return createIndex(row, column, parentItem);
}

void TreeModel::insertItem(TreeItem *parentItem, int row, TreeItem *item)
{
    const int at = qBound(0, row, parentItem->childCount());
    beginInsertRows(indexFromItem(parentItem), at, at);
    parentItem->insertChild(at, item);
    endInsertRows();
}

void TreeModel::removeItem(TreeItem *item)
{
    TreeItem *parentItem = item->parent();
    const int row = item->row();
    beginRemoveRows(indexFromItem(parentItem), row, row);
    parentItem->removeChildren(row, 1);
    endRemoveRows();
}

void TreeModel::clear()
{
    beginResetModel();
    m_root->removeChildren(0, m_root->childCount());
    endResetModel();
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column < 0 || column >= columnCount())
        return {};
    const TreeItem *parentItem = itemFromIndex(parent);
    if (!parentItem || row < 0 || row >= parentItem->childCount())
        return {};
    return childIndex(parentItem, row, column);
}

QModelIndex TreeModel::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    return indexFromItem(static_cast<const TreeItem *>(index.internalPointer()));
}

int TreeModel::rowCount(const QModelIndex &parent) const
{
    const TreeItem *item = parent.column() > 0 ? nullptr : itemFromIndex(parent);
    return item ? item->childCount() : 0;
}

int TreeModel::columnCount(const QModelIndex &) const
{
    return int(m_headers.size());
}

QVariant TreeModel::data(const QModelIndex &index, int role) const
{
    const TreeItem *item = index.isValid() ? itemFromIndex(index) : nullptr;
    return item ? item->data(index.column(), role) : QVariant();
}

bool TreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TreeItem *item = index.isValid() ? itemFromIndex(index) : nullptr;
    if (!item || !item->setData(index.column(), value, role))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TreeModel::flags(const QModelIndex &index) const
{
    const TreeItem *item = index.isValid() ? itemFromIndex(index) : nullptr;
    return item ? item->flags(index.column()) : Qt::NoItemFlags;
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers.at(section);
}

bool TreeModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                              int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) ||
        section < 0 || section >= m_headers.size())
        return false;
    m_headers[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

bool TreeModel::removeRows(int row, int count, const QModelIndex &parent)
{
    TreeItem *parentItem = itemFromIndex(parent);
    if (!parentItem || count <= 0 || row < 0 || row + count > parentItem->childCount())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    parentItem->removeChildren(row, count);
    endRemoveRows();
    return true;
}
