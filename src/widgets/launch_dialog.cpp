#include "launch_dialog.h"

#include "launch_dialog_handler.h"
#include "recent_file_delegate.h"
#include "recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

const QString OpenIcon = QStringLiteral(":/icons/32x32/open_document.png");

} // namespace

LaunchDialog::LaunchDialog(RecentFiles *recentFiles, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_recentFiles(recentFiles), m_header(new QLabel(this)), m_recentFileList(new QListView(this)),
      m_model(new QStandardItemModel(this))
{
    m_header->setAlignment(Qt::AlignCenter);
    m_header->hide();

    QPushButton *newButton = addButton(tr("New..."), tr("Create a new file"),
                                       QStringLiteral(":/icons/32x32/new_document.png"));
    QPushButton *openButton = addButton(tr("Open..."), tr("Browse for an existing file"), OpenIcon);
    QPushButton *exitButton = addButton(tr("Exit"), tr("Close the application"),
                                        QStringLiteral(":/icons/32x32/exit.png"));
    connect(newButton, &QPushButton::clicked, this, &LaunchDialog::onNewClicked);
    connect(openButton, &QPushButton::clicked, this, &LaunchDialog::onOpenClicked);
    connect(exitButton, &QPushButton::clicked, this, &LaunchDialog::onExitClicked);
    connect(new QShortcut(QKeySequence::New, this), &QShortcut::activated, this,
            &LaunchDialog::onNewClicked);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            &LaunchDialog::onOpenClicked);
    // Some platforms bind no key to Quit; Ctrl+Q is what Linux desktops use.
    const QKeySequence quit = QKeySequence::keyBindings(QKeySequence::Quit).isEmpty()
                                  ? QKeySequence(Qt::CTRL | Qt::Key_Q)
                                  : QKeySequence(QKeySequence::Quit);
    connect(new QShortcut(quit, this), &QShortcut::activated, this, &LaunchDialog::onExitClicked);

    m_recentFileList->setObjectName(QStringLiteral("recentFileList"));
    m_recentFileList->setAccessibleName(tr("Recent files"));
    m_recentFileList->setModel(m_model);
    m_recentFileList->setItemDelegate(new RecentFileDelegate(m_recentFileList));
    m_recentFileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recentFileList->setIconSize(QSize(32, 32));
    m_recentFileList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_recentFileList->viewport()->installEventFilter(this);
    connect(m_recentFileList, &QListView::clicked, this, &LaunchDialog::onRecentFileClicked);
    connect(m_recentFileList, &QListView::activated, this, &LaunchDialog::onRecentFileClicked);
    connect(m_recentFileList, &QListView::customContextMenuRequested, this,
            &LaunchDialog::onContextMenuRequested);
    connect(m_recentFiles, &RecentFiles::changed, this, &LaunchDialog::refreshRecentFiles);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : {newButton, openButton, exitButton})
        buttons->addWidget(button);
    buttons->addStretch();
    auto *recentLabel = new QLabel(tr("Recent files"), this);
    recentLabel->setBuddy(m_recentFileList);
    auto *recent = new QVBoxLayout;
    recent->addWidget(recentLabel);
    recent->addWidget(m_recentFileList);
    auto *body = new QHBoxLayout;
    body->addLayout(buttons);
    body->addLayout(recent, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addLayout(body);

    refreshRecentFiles();
    resize(560, 420);
}

QPushButton *LaunchDialog::addButton(const QString &text, const QString &toolTip,
                                     const QString &icon)
{
    auto *button = new QPushButton(QIcon(icon), text, this);
    button->setToolTip(toolTip);
    button->setIconSize(QSize(32, 32));
    button->setMinimumHeight(48);
    button->setAutoDefault(false);
    return button;
}

void LaunchDialog::setHeaderPicture(const QPixmap &picture)
{
    m_header->setPixmap(picture);
    m_header->setVisible(!picture.isNull());
    m_header->setAccessibleName(windowTitle());
}

int LaunchDialog::run(LaunchDialogHandler *handler)
{
    QPointer<LaunchDialog> self(this);
    for (;;) {
        m_chosenFile.clear();
        const int result = exec();
        if (!self)
            return Result_Stop;
        bool opened = false;
        switch (result) {
        case Result_New:
            opened = handler->launchNewDocument();
            break;
        case Result_Open:
            opened = handler->launchOpenDocument();
            break;
        case Result_RecentFile:
            opened = handler->launchOpenDocument(m_chosenFile);
            break;
        default: // Exit, the window closed, or stopped
            return result;
        }
        if (!self)
            return Result_Stop;
        if (opened)
            return result;
    }
}

void LaunchDialog::onNewClicked()
{
    done(Result_New);
}

void LaunchDialog::onOpenClicked()
{
    done(Result_Open);
}

void LaunchDialog::onExitClicked()
{
    done(Result_Exit);
}

void LaunchDialog::onRecentFileClicked(const QModelIndex &index)
{
    if (!index.isValid() || !isVisible())
        return;
    const QString path = index.data(PathRole).toString();
    if (path.isEmpty()) {
        done(Result_Open);
        return;
    }
    m_chosenFile = path;
    done(Result_RecentFile);
}

void LaunchDialog::refreshRecentFiles()
{
    m_model->clear();
    const QIcon fileIcon(QStringLiteral(":/icons/22x22/tray_icon.png"));
    for (const QString &path : m_recentFiles->files()) {
        // Deleted since the list was loaded: opening it could only fail.
        if (!QFileInfo(path).isFile())
            continue;
        auto *item = new QStandardItem(fileIcon, QFileInfo(path).fileName());
        item->setData(path, PathRole);
        item->setToolTip(QDir::toNativeSeparators(path));
        m_model->appendRow(item);
    }
    m_model->appendRow(new QStandardItem(QIcon(OpenIcon), tr("Browse for an existing file...")));
}

// Only the left button chooses; the others would select or activate items
// on some styles.
bool LaunchDialog::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return true;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void LaunchDialog::onContextMenuRequested(const QPoint &position)
{
    const QString path = m_recentFileList->indexAt(position).data(PathRole).toString();
    if (path.isEmpty())
        return;
    QMenu menu(this);
    QAction *remove = menu.addAction(tr("Remove from list"));
    if (menu.exec(m_recentFileList->viewport()->mapToGlobal(position)) == remove)
        m_recentFiles->remove(path);
}
