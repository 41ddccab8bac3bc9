#pragma once

#include <QVariant>

#include <memory>
#include <vector>

// One row of a TreeModel: a type, a parent and the rows below it. The base
// answers only Qt::UserRole, with the type; subclasses add their columns.
// An item owns its children.
class TreeItem
{
public:
    explicit TreeItem(int type = 0);
    virtual ~TreeItem();
    TreeItem(const TreeItem &) = delete;
    TreeItem &operator=(const TreeItem &) = delete;

    int type() const { return m_type; }
    TreeItem *parent() const { return m_parent; }
    TreeItem *child(int row) const;
    virtual int childCount() const;
    // The item's position under its parent; 0 for the root. Kept up to date
    // by the parent, so that finding a row's index costs nothing at any size.
    int row() const { return m_row; }

    // Takes ownership of the item and places it at `row` (appended when
    // out of range).
    void insertChild(int row, TreeItem *item);
    void appendChild(TreeItem *item) { insertChild(childCount(), item); }
    // Removes and destroys `count` children from `row` on.
    void removeChildren(int row, int count);

    virtual QVariant data(int column, int role) const;
    virtual bool setData(int column, const QVariant &value, int role);
    virtual Qt::ItemFlags flags(int column) const;
    // A copy of the item without its children or parent.
    virtual TreeItem *clone() const;

    // The order in which a sort proxy shows the item's children, kept with
    // the rows so that mapping a row costs no look-up: for each shown row
    // its row here, and for each row here its shown row (-1 while it is not
    // shown). It belongs to the sorting numbered `sorting`; under any other
    // it is yet to be made.
    struct ShownOrder
    {
        std::vector<int> sourceRows;
        std::vector<int> shownRows;
        int sorting = 0;
    };
    ShownOrder &shownOrder() const { return m_shownOrder; }

private:
    void renumberFrom(int row);

    int m_type;
    int m_row = 0;
    TreeItem *m_parent = nullptr;
    std::vector<std::unique_ptr<TreeItem>> m_children;
    mutable ShownOrder m_shownOrder;
};
