#include "password_manager_view.h"

#include "lum_document.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

PasswordManagerView::PasswordManagerView(LumDocument *document, QWidget *parent)
    : QTreeView(parent), m_document(document), m_expandAction(new QAction(tr("Expand"), this)),
      m_expandAllAction(new QAction(tr("Expand All"), this)),
      m_collapseAction(new QAction(tr("Collapse"), this)),
      m_collapseAllAction(new QAction(tr("Collapse All"), this))
{
    setAlternatingRowColors(true);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    connect(m_expandAction, &QAction::triggered, this, &PasswordManagerView::onExpandTriggered);
    connect(m_collapseAction, &QAction::triggered, this, &PasswordManagerView::onCollapseTriggered);
    connect(m_expandAllAction, &QAction::triggered, this, &QTreeView::expandAll);
    connect(m_collapseAllAction, &QAction::triggered, this, &QTreeView::collapseAll);
}

void PasswordManagerView::contextMenuEvent(QContextMenuEvent *event)
{
    m_menuIndex = indexAt(event->pos()).siblingAtColumn(0);
    QMenu menu(this);
    if (m_menuIndex.isValid() && model()->hasChildren(m_menuIndex))
        menu.addAction(isExpanded(m_menuIndex) ? m_collapseAction : m_expandAction);
    menu.addAction(m_expandAllAction);
    menu.addAction(m_collapseAllAction);
    menu.exec(event->globalPos());
}

void PasswordManagerView::keyPressEvent(QKeyEvent *event)
{
    // The item view would copy the current cell: a shown password.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void PasswordManagerView::showEvent(QShowEvent *event)
{
    QTreeView::showEvent(event);
    if (m_widthsRestored)
        return;
    m_widthsRestored = true;
    restoreColumnWidths();
    // Widths are recorded from now on, not while the view is being set up.
    connect(header(), &QHeaderView::sectionResized, this, &PasswordManagerView::onColumnResized);
}

void PasswordManagerView::restoreColumnWidths()
{
    const LumDocument::ColumnWidths &widths = m_document->columnWidths(LumDocument::Table_PASSWORD);
    for (auto each = widths.begin(); each != widths.end(); ++each) {
        if (each.key() >= 0 && each.key() < header()->count() && each.value() > 0)
            header()->resizeSection(each.key(), each.value());
    }
}

void PasswordManagerView::onExpandTriggered()
{
    if (m_menuIndex.isValid())
        expand(m_menuIndex);
}

void PasswordManagerView::onCollapseTriggered()
{
    if (m_menuIndex.isValid())
        collapse(m_menuIndex);
}

void PasswordManagerView::onColumnResized(int column, int oldWidth, int newWidth)
{
    Q_UNUSED(oldWidth);
    m_document->setColumnWidth(LumDocument::Table_PASSWORD, column, newWidth);
}
