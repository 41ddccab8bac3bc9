#include "installation_selection_model.h"

#include "installation_item.h"
#include "installation_model.h"
#include "lum_document.h"

InstallationSelectionModel::InstallationSelectionModel(QAbstractItemModel *view,
                                                       const InstallationModel *source,
                                                       LumDocument *document, QObject *parent)
    : QItemSelectionModel(view, parent), m_source(source), m_document(document)
{
    connect(view, &QAbstractItemModel::rowsRemoved, this,
            &InstallationSelectionModel::forgetRemovedRows);
    connect(view, &QAbstractItemModel::modelReset, this,
            &InstallationSelectionModel::forgetRemovedRows);
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
    if (command & Clear) {
        m_ids.clear();
        m_kind = Kind_NONE;
    }
    bool kindChanged = false;
    if (command & (Select | Deselect | Toggle)) {
        for (const QItemSelectionRange &range : selection) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const QModelIndex index = model()->index(row, 0, range.parent());
                const int type = index.data(Qt::UserRole).toInt();
                if (type < Kind_GROUPS || type > Kind_CONTROLLERS)
                    continue; // file rows are not recorded
                const uint id = index.data(InstallationItem::Role_ID).toUInt();
                const bool known = Kind(type) == m_kind && m_ids.count(id) != 0;
                const bool selecting = (command & Select) || ((command & Toggle) && !known);
                if (!selecting) {
                    if (known)
                        m_ids.erase(id);
                    if (m_ids.empty())
                        m_kind = Kind_NONE;
                    continue;
                }
                if (Kind(type) != m_kind) {
                    kindChanged = m_kind != Kind_NONE || kindChanged;
                    m_ids.clear();
                    m_kind = Kind(type);
                }
                m_ids.insert(id);
            }
        }
    }
    // The visible selection follows the record into the new kind.
    if (kindChanged && !(command & Clear))
        command = (command & (Rows | Columns)) | ClearAndSelect;
    QItemSelectionModel::select(selection, command);
    updateControllers();
}

void InstallationSelectionModel::clear()
{
    m_ids.clear();
    m_kind = Kind_NONE;
    QItemSelectionModel::clear();
    updateControllers();
}

void InstallationSelectionModel::reset()
{
    m_ids.clear();
    m_kind = Kind_NONE;
    QItemSelectionModel::reset();
    updateControllers();
}

// Rows leave without a call to select(): their identifiers leave the record.
void InstallationSelectionModel::forgetRemovedRows()
{
    std::erase_if(m_ids, [this](uint id) {
        switch (m_kind) {
        case Kind_GROUPS:
            return !m_source->groupIndex(id).isValid();
        case Kind_INSTALLATIONS:
            return !m_source->installationIndex(id).isValid();
        default:
            return !m_source->controllerIndex(id).isValid();
        }
    });
    if (m_ids.empty())
        m_kind = Kind_NONE;
    updateControllers();
}

void InstallationSelectionModel::updateControllers()
{
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
