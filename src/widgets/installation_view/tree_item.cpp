#include "tree_item.h"

#include <algorithm>

TreeItem::TreeItem(int type) : m_type(type)
{}

TreeItem::~TreeItem() = default;

TreeItem *TreeItem::child(int row) const
{
    if (row < 0 || row >= int(m_children.size()))
        return nullptr;
    return m_children[size_t(row)].get();
}

int TreeItem::childCount() const
{
    return int(m_children.size());
}

void TreeItem::insertChild(int row, TreeItem *item)
{
    item->m_parent = this;
    const int at = std::clamp(row, 0, int(m_children.size()));
    m_children.insert(m_children.begin() + at, std::unique_ptr<TreeItem>(item));
    renumberFrom(at);
}

void TreeItem::removeChildren(int row, int count)
{
    const int first = std::clamp(row, 0, int(m_children.size()));
    const int last = std::clamp(row + count, first, int(m_children.size()));
    m_children.erase(m_children.begin() + first, m_children.begin() + last);
    renumberFrom(first);
}

void TreeItem::renumberFrom(int row)
{
    for (size_t i = size_t(row); i < m_children.size(); ++i)
        m_children[i]->m_row = int(i);
}

QVariant TreeItem::data(int column, int role) const
{
    Q_UNUSED(column);
    return role == Qt::UserRole ? QVariant(m_type) : QVariant();
}

bool TreeItem::setData(int column, const QVariant &value, int role)
{
    Q_UNUSED(column);
    if (role != Qt::UserRole)
        return false;
    m_type = value.toInt();
    return true;
}

Qt::ItemFlags TreeItem::flags(int column) const
{
    Q_UNUSED(column);
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

TreeItem *TreeItem::clone() const
{
    return new TreeItem(m_type);
}
