#pragma once

#include <QSortFilterProxyModel>

// The tree's sort proxy. A change to cells that neither decide the order nor
// are filtered on (the upload feedback, many times a second at fleet scale)
// is mapped straight to the rows shown; Qt's own handling of a change
// re-checks every changed row for filtering and resorting first. Any other
// change takes Qt's way.
class InstallationSortProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit InstallationSortProxy(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;

private:
    void onSourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                             const QList<int> &roles);
    bool changeKeepsRows(const QModelIndex &topLeft, const QModelIndex &bottomRight) const;
    void mapChange(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                   const QList<int> &roles);
};
