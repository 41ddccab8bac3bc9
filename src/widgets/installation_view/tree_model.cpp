#include "tree_model.h"

TreeModel::TreeModel(const QStringList &headers, QObject *parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<TreeItem>()), m_headers(headers)
{}

TreeModel::~TreeModel() = default;

TreeItem *TreeModel::itemFromIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return m_root.get();
    return static_cast<TreeItem *>(index.internalPointer());
}

QModelIndex TreeModel::indexFromItem(const TreeItem *item, int column) const
{
    if (!item || item == m_root.get())
        return {};
    return createIndex(item->row(), column, const_cast<TreeItem *>(item));
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
    TreeItem *child = itemFromIndex(parent)->child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex TreeModel::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    return indexFromItem(itemFromIndex(index)->parent());
}

int TreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return itemFromIndex(parent)->childCount();
}

int TreeModel::columnCount(const QModelIndex &) const
{
    return int(m_headers.size());
}

QVariant TreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    return itemFromIndex(index)->data(index.column(), role);
}

bool TreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !itemFromIndex(index)->setData(index.column(), value, role))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return itemFromIndex(index)->flags(index.column());
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
    if (count <= 0 || row < 0 || row + count > parentItem->childCount())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    parentItem->removeChildren(row, count);
    endRemoveRows();
    return true;
}
