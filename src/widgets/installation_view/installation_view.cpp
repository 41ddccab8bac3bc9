#include "installation_view.h"

#include "action_manager.h"
#include "installation_delegate.h"
#include "installation_item.h"
#include "installation_model.h"
#include "installation_selection_model.h"
#include "installation_sort_proxy.h"
#include "lum_document.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

InstallationView::InstallationView(InstallationModel *model, LumDocument *document, QWidget *parent)
    : QTreeView(parent), m_model(model), m_document(document),
      m_proxy(new InstallationSortProxy(this))
{
    m_proxy->setSourceModel(model);
    setModel(m_proxy);
    m_selection = new InstallationSelectionModel(m_proxy, document, this);
    setSelectionModel(m_selection);
    setItemDelegate(new InstallationDelegate(this));
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setAlternatingRowColors(true);
    setUniformRowHeights(true);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    // Sortable by a click on a header; until then in the project's order.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setSortIndicatorShown(true);
    setSortingEnabled(true);
    setAccessibleName(tr("Installations"));

    const auto makeAction = [this](const QString &text, const char *icon) {
        auto *action = new QAction(text, this);
        if (icon)
            action->setIcon(QIcon(QStringLiteral(":/icons/22x22/%1.png").arg(QLatin1String(icon))));
        return action;
    };
    m_addInstallation = makeAction(tr("Add Installation"), "add_installation");
    m_editTemplate = makeAction(tr("Edit Project Template"), "edit_installation");
    m_delete = makeAction(tr("Delete"), "remove_installation");
    m_expand = makeAction(tr("Expand"), nullptr);
    m_expandAll = makeAction(tr("Expand All"), nullptr);
    m_collapse = makeAction(tr("Collapse"), nullptr);
    m_collapseAll = makeAction(tr("Collapse All"), nullptr);
    connect(m_addInstallation, &QAction::triggered, this,
            &InstallationView::addInstallationToSelectedGroup);
    connect(m_editTemplate, &QAction::triggered, this, &InstallationView::editTemplateRequested);
    connect(m_delete, &QAction::triggered, this, &InstallationView::deleteRequested);
    connect(m_expand, &QAction::triggered, this, &InstallationView::onExpandTriggered);
    connect(m_collapse, &QAction::triggered, this, &InstallationView::onCollapseTriggered);
    connect(m_expandAll, &QAction::triggered, this, &InstallationView::expandAll);
    connect(m_collapseAll, &QAction::triggered, this, &InstallationView::collapseAll);

    m_feedbackRepaint.setSingleShot(true);
    m_feedbackRepaint.setInterval(FeedbackRepaintMsec);
    connect(&m_feedbackRepaint, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(this, &QTreeView::expanded, this, &InstallationView::onExpanded);
    connect(this, &QTreeView::collapsed, this, &InstallationView::onCollapsed);
    connect(header(), &QHeaderView::sectionResized, this, &InstallationView::onColumnResized);
    connect(model, &InstallationModel::modelReset, this, &InstallationView::restoreFromDocument);
    connect(model, &InstallationModel::rowsInserted, this, &InstallationView::restoreExpansion);
    connect(model, &InstallationModel::selectionRequested, this,
            &InstallationView::selectSourceRows);
}

// --- Expansion and widths -------------------------------------------------------------

void InstallationView::restoreFromDocument()
{
    m_restoring = true;
    for (const uint groupId : m_document->expandedGroups())
        expand(m_proxy->mapFromSource(m_model->groupIndex(groupId)));
    for (const uint installationId : m_document->expandedInstallations())
        expand(m_proxy->mapFromSource(m_model->installationIndex(installationId)));
    const LumDocument::ColumnWidths &widths = m_document->columnWidths(LumDocument::Table_MAIN);
    for (auto width = widths.begin(); width != widths.end(); ++width) {
        if (width.key() >= 0 && width.key() < InstallationModel::Column_COUNT && width.value() > 0)
            setColumnWidth(width.key(), width.value());
    }
    m_restoring = false;
}

// Rows put in by an edit (or an undo) come back expanded as recorded.
void InstallationView::restoreExpansion(const QModelIndex &sourceParent, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row, 0, sourceParent);
        const uint id = index.data(InstallationItem::Role_ID).toUInt();
        const int type = index.data(Qt::UserRole).toInt();
        const bool expanded = type == InstallationItem::Type_GROUP
                                  ? m_document->isGroupExpanded(id)
                                  : m_document->isInstallationExpanded(id);
        if (expanded)
            expand(m_proxy->mapFromSource(index));
        if (type == InstallationItem::Type_GROUP)
            restoreExpansion(index, 0, m_model->rowCount(index) - 1);
    }
}

void InstallationView::recordExpansion(const QModelIndex &index, bool expanded)
{
    const int type = index.data(Qt::UserRole).toInt();
    const uint id = index.data(InstallationItem::Role_ID).toUInt();
    if (type == InstallationItem::Type_GROUP && m_document->groupExists(id))
        m_document->setGroupExpanded(id, expanded);
    else if (type == InstallationItem::Type_INSTALLATION && m_document->installationExists(id))
        m_document->setInstallationExpanded(id, expanded);
}

void InstallationView::onExpanded(const QModelIndex &index)
{
    recordExpansion(index, true);
}

void InstallationView::onCollapsed(const QModelIndex &index)
{
    recordExpansion(index, false);
}

void InstallationView::onColumnResized(int column, int, int newWidth)
{
    if (!m_restoring && newWidth > 0)
        m_document->setColumnWidth(LumDocument::Table_MAIN, column, newWidth);
}

void InstallationView::expandAll()
{
    QTreeView::expandAll();
    // expandAll() announces nothing: every group and installation is recorded here.
    for (const InstallationGroup *group : m_document->groups())
        m_document->setGroupExpanded(group->getId(), true);
    for (const Installation *installation : m_document->installations())
        m_document->setInstallationExpanded(installation->getId(), true);
}

void InstallationView::collapseAll()
{
    QTreeView::collapseAll();
    for (const InstallationGroup *group : m_document->groups())
        m_document->setGroupExpanded(group->getId(), false);
    for (const Installation *installation : m_document->installations())
        m_document->setInstallationExpanded(installation->getId(), false);
}

void InstallationView::onExpandTriggered()
{
    if (m_menuIndex.isValid())
        expand(m_menuIndex);
}

void InstallationView::onCollapseTriggered()
{
    if (m_menuIndex.isValid())
        collapse(m_menuIndex);
}

// --- Selection and commands ---------------------------------------------------------

void InstallationView::selectSourceRows(const QModelIndexList &sourceIndexes)
{
    QItemSelection selection;
    for (const QModelIndex &index : sourceIndexes) {
        const QModelIndex shown = m_proxy->mapFromSource(index);
        selection.select(shown, shown);
    }
    if (selection.isEmpty())
        return;
    m_selection->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection->setCurrentIndex(selection.first().topLeft(), QItemSelectionModel::NoUpdate);
}

void InstallationView::addInstallationToSelectedGroup()
{
    emit addInstallationRequested();
}

QMenu *InstallationView::createContextMenu(const QModelIndex &index)
{
    m_menuIndex = index.siblingAtColumn(0);
    auto *menu = new QMenu(this);
    const auto addIfEnabled = [&](int number) {
        if (m_actions && m_actions->action(number)->isEnabled())
            menu->addAction(m_actions->action(number));
    };
    const int type = index.data(Qt::UserRole).toInt();
    const uint id = index.data(InstallationItem::Role_ID).toUInt();
    if (type == InstallationItem::Type_GROUP) {
        if (m_selection->selectedGroups().size() == 1) {
            menu->addAction(m_addInstallation);
            menu->addAction(m_editTemplate);
        }
        menu->addAction(m_delete);
        menu->addSeparator();
        addIfEnabled(ActionManager::Action_ScheduleUpload);
        addIfEnabled(ActionManager::Action_RemoveFromSchedule);
    } else if (type == InstallationItem::Type_INSTALLATION) {
        addIfEnabled(ActionManager::Action_ScheduleUpload);
        addIfEnabled(ActionManager::Action_RemoveFromSchedule);
        menu->addSeparator();
        menu->addAction(m_delete);
    } else if (type == InstallationItem::Type_CONTROLLER) {
        const bool uploading =
            m_document->controllerExists(id) && m_document->controller(id)->isUploadUnderWay();
        if (!uploading) {
            addIfEnabled(ActionManager::Action_Upload);
            addIfEnabled(ActionManager::Action_ScheduleUpload);
        }
        addIfEnabled(uploading ? ActionManager::Action_CancelUpload
                               : ActionManager::Action_RemoveFromSchedule);
    }
    menu->addSeparator();
    if (m_proxy->hasChildren(m_menuIndex))
        menu->addAction(isExpanded(m_menuIndex) ? m_collapse : m_expand);
    menu->addAction(m_expandAll);
    menu->addAction(m_collapseAll);
    return menu;
}

void InstallationView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    QMenu *menu = createContextMenu(index);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// Upload state and progress change many times a second across a fleet:
// their cells are repainted with the visible rows a few times a second,
// without looking each row up among every row shown (which costs in
// proportion to the tree).
void InstallationView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                   const QList<int> &roles)
{
    const bool feedbackCells = topLeft.column() >= InstallationModel::Column_UPLOAD_STATE;
    if (feedbackCells && !QAccessible::isActive()) {
        if (!m_feedbackRepaint.isActive())
            m_feedbackRepaint.start();
        return;
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}
