#pragma once

#include "desktop_selection.h"

#include <QItemSelectionModel>

class LumDocument;

// The tree's selection as a record of one kind of entity: groups,
// installations or controllers, never a mix. Selecting a row of another kind
// starts a new record of that kind (and a new visible selection); selected
// rows of other kinds (a range over several levels) are not recorded. The
// controllers under the selection are derived for the commands that act on
// controllers.
class InstallationSelectionModel : public QItemSelectionModel, public DesktopSelection
{
    Q_OBJECT

public:
    enum Kind
    {
        Kind_NONE = 0,
        Kind_GROUPS = 1,
        Kind_INSTALLATIONS = 2,
        Kind_CONTROLLERS = 3
    };

    // Over the rows the view shows (the installation model or a proxy of it).
    InstallationSelectionModel(QAbstractItemModel *model, LumDocument *document,
                               QObject *parent = nullptr);

    Kind kind() const { return m_kind; }
    IdSet selectedGroups() const override;
    IdSet selectedInstallations() const override;
    IdSet selectedControllers() const override { return m_controllers; }
    bool isGroupSelected(uint id) const;
    bool isInstallationSelected(uint id) const;
    bool isControllerSelected(uint id) const;

    void select(const QItemSelection &selection,
                QItemSelectionModel::SelectionFlags command) override;
    using QItemSelectionModel::select;

public slots:
    void clear() override;
    void reset() override;

signals:
    // The record changed.
    void recordChanged();

private:
    void updateRecord();

    LumDocument *m_document;
    Kind m_kind = Kind_NONE;
    IdSet m_ids;
    IdSet m_controllers;
};
