#include "recent_files.h"

#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

RecentFiles::RecentFiles(const QString &keyPrefix, int maximum, QObject *parent)
    : QObject(parent), m_keyPrefix(keyPrefix), m_maximum(maximum),
      m_actions(new QActionGroup(this)), m_menu(new QMenu(tr("Open Recent")))
{
    connect(m_actions, &QActionGroup::triggered, this, &RecentFiles::onActionTrigger);
}

RecentFiles::~RecentFiles()
{
    delete m_menu;
}

void RecentFiles::load()
{
    QSettings settings;
    m_files.clear();
    for (int i = 0; i < m_maximum; ++i) {
        const QVariant value = settings.value(QStringLiteral("%1%2").arg(m_keyPrefix).arg(i));
        if (value.typeId() == QMetaType::QString && QFileInfo(value.toString()).isFile())
            m_files << value.toString();
    }
    rebuildActions();
    emit changed();
}

void RecentFiles::add(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    m_files.removeAll(canonical);
    m_files.prepend(canonical);
    while (m_files.size() > m_maximum)
        m_files.removeLast();
    store();
    rebuildActions();
    emit changed();
}

void RecentFiles::remove(const QString &path)
{
    if (m_files.removeAll(path) == 0)
        return;
    store();
    rebuildActions();
    emit changed();
}

void RecentFiles::onActionTrigger(QAction *action)
{
    emit recentFileTriggered(action->data().toString());
}

void RecentFiles::store() const
{
    QSettings settings;
    for (int i = 0; i < m_maximum; ++i) {
        const QString key = QStringLiteral("%1%2").arg(m_keyPrefix).arg(i);
        if (i < m_files.size())
            settings.setValue(key, m_files.at(i));
        else
            settings.remove(key);
    }
}

void RecentFiles::rebuildActions()
{
    qDeleteAll(m_actions->actions());
    for (const QString &file : std::as_const(m_files)) {
        auto *action = new QAction(
            QDir::toNativeSeparators(file).replace(QLatin1Char('&'), QStringLiteral("&&")),
            m_actions);
        action->setData(file);
        m_menu->addAction(action);
    }
    m_menu->setEnabled(!m_files.isEmpty());
}
