#include "installation_sort_proxy.h"

namespace {

// QSortFilterProxyModel's private handler of its source's dataChanged().
constexpr const char *QtChangeHandler = "_q_sourceDataChanged(QModelIndex,QModelIndex,QList<int>)";

} // namespace

InstallationSortProxy::InstallationSortProxy(QObject *parent) : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
}

void InstallationSortProxy::setSourceModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *old = sourceModel())
        disconnect(old, &QAbstractItemModel::dataChanged, this,
                   &InstallationSortProxy::onSourceDataChanged);
    QSortFilterProxyModel::setSourceModel(model);
    // Without Qt's handler by that name (another Qt version), every change
    // simply stays with Qt.
    const bool takenOver = model && metaObject()->indexOfSlot(QtChangeHandler) >= 0 &&
                           disconnect(model, &QAbstractItemModel::dataChanged, this, nullptr);
    if (takenOver)
        connect(model, &QAbstractItemModel::dataChanged, this,
                &InstallationSortProxy::onSourceDataChanged);
}

void InstallationSortProxy::onSourceDataChanged(const QModelIndex &topLeft,
                                                const QModelIndex &bottomRight,
                                                const QList<int> &roles)
{
    if (changeKeepsRows(topLeft, bottomRight)) {
        mapChange(topLeft, bottomRight, roles);
        return;
    }
    QMetaObject::invokeMethod(this, "_q_sourceDataChanged", Qt::DirectConnection,
                              Q_ARG(QModelIndex, topLeft), Q_ARG(QModelIndex, bottomRight),
                              Q_ARG(QList<int>, roles));
}

// Rows keep their place and stay shown when the changed columns do not
// include the sort column and nothing is filtered.
bool InstallationSortProxy::changeKeepsRows(const QModelIndex &topLeft,
                                            const QModelIndex &bottomRight) const
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.parent() != bottomRight.parent())
        return false;
    const int sorted = sortColumn();
    const bool sortedColumnChanged = sorted >= topLeft.column() && sorted <= bottomRight.column();
    return !sortedColumnChanged && filterRegularExpression().pattern().isEmpty();
}

// Source rows in a row may be shown apart once sorted: the change then
// covers the rows between the first and the last shown.
void InstallationSortProxy::mapChange(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                      const QList<int> &roles)
{
    const QModelIndex first = mapFromSource(topLeft);
    if (topLeft.row() == bottomRight.row()) {
        emit dataChanged(first, first.siblingAtColumn(bottomRight.column()), roles);
        return;
    }
    int top = first.row();
    int bottom = first.row();
    for (int row = topLeft.row() + 1; row <= bottomRight.row(); ++row) {
        const int shownRow = mapFromSource(topLeft.siblingAtRow(row)).row();
        top = std::min(top, shownRow);
        bottom = std::max(bottom, shownRow);
    }
    emit dataChanged(first.siblingAtRow(top),
                     first.siblingAtRow(bottom).siblingAtColumn(bottomRight.column()), roles);
}
