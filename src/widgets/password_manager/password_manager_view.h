#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>

class LumDocument;
class QAction;

// The password tree. Its column widths are kept in the project (as the
// installation view keeps its own) and restored when it is shown; it never
// puts a cell's text on the clipboard.
class PasswordManagerView : public QTreeView
{
    Q_OBJECT

public:
    explicit PasswordManagerView(LumDocument *document, QWidget *parent = nullptr);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void onExpandTriggered();
    void onCollapseTriggered();
    void onColumnResized(int column, int oldWidth, int newWidth);

private:
    void restoreColumnWidths();

    LumDocument *m_document;
    QAction *m_expandAction;
    QAction *m_expandAllAction;
    QAction *m_collapseAction;
    QAction *m_collapseAllAction;
    QPersistentModelIndex m_menuIndex;
    bool m_widthsRestored = false;
};
