#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QActionGroup;
class QMenu;

// The project files used last, most recent first, kept in the settings under
// numbered keys ("File/RecentFile0" ...), with one menu action per file for
// the "Open Recent" menu. A file that no longer exists is dropped when the
// list is loaded.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    RecentFiles(const QString &keyPrefix, int maximum, QObject *parent = nullptr);
    ~RecentFiles() override;

    void load();
    // Puts the file first (by its canonical path), once.
    void add(const QString &path);
    void remove(const QString &path);

    QStringList files() const { return m_files; }
    QActionGroup *actionGroup() const { return m_actions; }
    // The "Open Recent" menu, one entry per file.
    QMenu *menu() const { return m_menu; }

signals:
    void changed();
    void recentFileTriggered(const QString &path);

public slots:
    void onActionTrigger(QAction *action);

private:
    void store() const;
    void rebuildActions();

    QString m_keyPrefix;
    int m_maximum;
    QStringList m_files;
    QActionGroup *m_actions;
    QMenu *m_menu;
};
