#pragma once

#include <QDialog>

class LaunchDialogHandler;
class QLabel;
class QListView;
class QModelIndex;
class QPixmap;
class QPushButton;
class QStandardItemModel;
class RecentFiles;

// The window shown while no project is open: a header picture, New, Open and
// Exit, and the recent project files with a last entry that browses for
// another file. A choice ends the dialog with its result; run() acts on the
// results until a project is open or the operator leaves.
class LaunchDialog : public QDialog
{
    Q_OBJECT

public:
    enum Result
    {
        Result_Exit = 0,
        Result_New = 1,
        Result_Open = 2,
        Result_RecentFile = 3,
        // Ended from outside: a project was opened another way.
        Result_Stop = 4
    };
    // The full path of a recent file's item; none on the browse item.
    static constexpr int PathRole = Qt::UserRole + 1;

    explicit LaunchDialog(RecentFiles *recentFiles, QWidget *parent = nullptr);

    // Shows the dialog modally and acts through the handler until a project
    // is open, Exit is chosen (the window closed) or the dialog is stopped.
    // The result that ended it; Result_Stop when the dialog went away.
    int run(LaunchDialogHandler *handler);

    // The recent file chosen last; empty when none.
    QString chosenFile() const { return m_chosenFile; }
    QListView *recentFileList() const { return m_recentFileList; }

public slots:
    void onNewClicked();
    void onOpenClicked();
    void onExitClicked();
    void onRecentFileClicked(const QModelIndex &index);
    void refreshRecentFiles();

protected:
    void setHeaderPicture(const QPixmap &picture);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *addButton(const QString &text, const QString &toolTip, const QString &icon);
    void onContextMenuRequested(const QPoint &position);

    RecentFiles *m_recentFiles;
    QLabel *m_header;
    QListView *m_recentFileList;
    QStandardItemModel *m_model;
    QString m_chosenFile;
};
