#pragma once

#include <QModelIndex>
#include <QTimer>
#include <QTreeView>

class ActionManager;
class InstallationModel;
class InstallationSelectionModel;
class LumDocument;
class QAction;
class InstallationSortProxy;

// The installation tree: sorted through a proxy, edited in place, with a
// context menu per kind of row. Which rows are expanded and how wide the
// columns are is kept in the project and restored when it opens.
class InstallationView : public QTreeView
{
    Q_OBJECT

public:
    // Feedback cells are repainted at most this often.
    static constexpr int FeedbackRepaintMsec = 100;

    InstallationView(InstallationModel *model, LumDocument *document, QWidget *parent = nullptr);

    InstallationModel *installationModel() const { return m_model; }
    InstallationSortProxy *proxy() const { return m_proxy; }
    InstallationSelectionModel *installationSelection() const { return m_selection; }
    // The main window's commands offered in the context menus.
    void setActionManager(ActionManager *actions) { m_actions = actions; }
    // The menu for the row at `index` (a view index), as the pointer would open it.
    QMenu *createContextMenu(const QModelIndex &index);

public slots:
    void addInstallationToSelectedGroup();
    void onExpandTriggered();
    void onCollapseTriggered();
    void expandAll();
    void collapseAll();
    void onExpanded(const QModelIndex &index);
    void onCollapsed(const QModelIndex &index);
    void onColumnResized(int column, int oldWidth, int newWidth);
    // Expands the recorded rows and sizes the recorded columns.
    void restoreFromDocument();

signals:
    void addInstallationRequested();
    void editTemplateRequested();
    void deleteRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = {}) override;

private:
    void restoreExpansion(const QModelIndex &sourceParent, int first, int last);
    void selectSourceRows(const QModelIndexList &sourceIndexes);
    void recordExpansion(const QModelIndex &index, bool expanded);

    InstallationModel *m_model;
    LumDocument *m_document;
    InstallationSortProxy *m_proxy;
    InstallationSelectionModel *m_selection;
    ActionManager *m_actions = nullptr;
    QPersistentModelIndex m_menuIndex;
    QAction *m_addInstallation;
    QAction *m_editTemplate;
    QAction *m_delete;
    QAction *m_expand;
    QAction *m_expandAll;
    QAction *m_collapse;
    QAction *m_collapseAll;
    QTimer m_feedbackRepaint;
    bool m_restoring = false;
};
