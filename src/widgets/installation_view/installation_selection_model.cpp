#include "installation_selection_model.h"

#include "installation_item.h"
#include "lum_document.h"

InstallationSelectionModel::InstallationSelectionModel(QAbstractItemModel *model,
                                                       LumDocument *document, QObject *parent)
    : QItemSelectionModel(model, parent), m_document(document)
{
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            &InstallationSelectionModel::updateRecord);
    connect(model, &QAbstractItemModel::modelReset, this,
            &InstallationSelectionModel::updateRecord);
}

IdSet InstallationSelectionModel::selectedGroups() const
{
    return m_kind == Kind_GROUPS ? m_ids : IdSet();
}

IdSet InstallationSelectionModel::selectedInstallations() const
{
    return m_kind == Kind_INSTALLATIONS ? m_ids : IdSet();
}

bool InstallationSelectionModel::isGroupSelected(uint id) const
{
    return m_kind == Kind_GROUPS && m_ids.count(id) != 0;
}

bool InstallationSelectionModel::isInstallationSelected(uint id) const
{
    return m_kind == Kind_INSTALLATIONS && m_ids.count(id) != 0;
}

bool InstallationSelectionModel::isControllerSelected(uint id) const
{
    return m_kind == Kind_CONTROLLERS && m_ids.count(id) != 0;
}

void InstallationSelectionModel::select(const QItemSelection &selection,
                                        QItemSelectionModel::SelectionFlags command)
{
    if (command & Clear)
        m_kind = Kind_NONE;
    bool kindChanged = false;
    if (command & (Select | Toggle)) {
        for (const QItemSelectionRange &range : selection) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const QModelIndex index = model()->index(row, 0, range.parent());
                const int type = index.data(Qt::UserRole).toInt();
                if (type < Kind_GROUPS || type > Kind_CONTROLLERS || Kind(type) == m_kind)
                    continue; // file rows are not recorded
                const bool selecting = (command & Select) || !isSelected(index);
                if (selecting) {
                    kindChanged = kindChanged || m_kind != Kind_NONE;
                    m_kind = Kind(type);
                }
            }
        }
    }
    // Another kind starts a new record, and the visible selection follows.
    if (kindChanged && !(command & Clear))
        command = (command & (Rows | Columns)) | ClearAndSelect;
    QItemSelectionModel::select(selection, command);
    updateRecord();
}

void InstallationSelectionModel::clear()
{
    m_kind = Kind_NONE;
    QItemSelectionModel::clear();
    updateRecord();
}

void InstallationSelectionModel::reset()
{
    m_kind = Kind_NONE;
    QItemSelectionModel::reset();
    updateRecord();
}

// The record is what the view shows selected of the current kind; rows that
// leave the tree leave it too.
void InstallationSelectionModel::updateRecord()
{
    m_ids.clear();
    for (const QModelIndex &index : selectedRows()) {
        if (index.data(Qt::UserRole).toInt() == m_kind)
            m_ids.insert(index.data(InstallationItem::Role_ID).toUInt());
    }
    if (m_ids.empty())
        m_kind = Kind_NONE;
    m_controllers.clear();
    for (const uint id : m_ids) {
        if (m_kind == Kind_CONTROLLERS) {
            m_controllers.insert(id);
        } else if (m_kind == Kind_GROUPS && m_document->groupExists(id)) {
            const QList<uint> ids = m_document->groupControllerIds(id);
            m_controllers.insert(ids.begin(), ids.end());
        } else if (m_kind == Kind_INSTALLATIONS && m_document->installationExists(id)) {
            const QList<uint> &ids = m_document->installation(id)->controllerIds();
            m_controllers.insert(ids.begin(), ids.end());
        }
    }
    emit recordChanged();
}
