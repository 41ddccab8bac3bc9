#include "accessible_names.h"
#include "desktop_controller.h"
#include "gui_shell.h"
#include "launch_dialog_handler.h"
#include "lum_application.h"
#include "lum_document.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "modal_answerer.h"
#include "pending_dialogs.h"
#include "recent_files.h"
#include "test_main.h"

#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace {

// Answers from a script and records what it was asked.
class ScriptedHandler : public LaunchDialogHandler
{
public:
    QList<bool> answers;
    QStringList calls;

    bool launchNewDocument() override { return next(u"new"_s); }
    bool launchOpenDocument(const QString &path) override
    {
        return next(u"open:"_s + QFileInfo(path).fileName());
    }
    bool launchOpenDocument() override { return next(u"open"_s); }

private:
    bool next(const QString &call)
    {
        calls << call;
        return !answers.isEmpty() && answers.takeFirst();
    }
};

QAbstractItemModel *listModel(LaunchDialog *dialog)
{
    return dialog->recentFileList()->model();
}

QPoint rowCentre(LaunchDialog *dialog, int row)
{
    QListView *list = dialog->recentFileList();
    return list->visualRect(list->model()->index(row, 0)).center();
}

void clickRow(LaunchDialog *dialog, int row, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(dialog->recentFileList()->viewport(), button, {}, rowCentre(dialog, row));
}

// One showing of the dialog: "new", "open", "exit" click the buttons;
// "recent" and "browse" the first and last items; "key new", "key open",
// "key quit" press the standard keys; "close" closes the window; "stop"
// ends it from outside; "right" right-clicks the first item first.
void perform(LaunchDialog *dialog, const QString &step)
{
    const QStringList parts = step.split(u'+');
    for (const QString &part : parts) {
        if (part == u"new")
            ModalAnswerer::clickButton(dialog, u"New..."_s);
        else if (part == u"open")
            ModalAnswerer::clickButton(dialog, u"Open..."_s);
        else if (part == u"exit")
            ModalAnswerer::clickButton(dialog, u"Exit"_s);
        else if (part == u"recent")
            clickRow(dialog, 0);
        else if (part == u"browse")
            clickRow(dialog, listModel(dialog)->rowCount() - 1);
        else if (part == u"right")
            clickRow(dialog, 0, Qt::RightButton);
        else if (part == u"key new")
            QTest::keySequence(dialog, QKeySequence::New);
        else if (part == u"key open")
            QTest::keySequence(dialog, QKeySequence::Open);
        else if (part == u"key quit")
            QTest::keySequence(dialog, QKeySequence(Qt::CTRL | Qt::Key_Q));
        else if (part == u"close")
            dialog->close();
        else if (part == u"stop")
            dialog->done(LaunchDialog::Result_Stop);
    }
}

} // namespace

class TestLaunchDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_paths;

    // Files r0..r(count-1), added to the list oldest first.
    void addFiles(RecentFiles *recent, int count)
    {
        m_paths.clear();
        for (int i = 0; i < count; ++i) {
            QFile file(m_dir.filePath(u"r%1.lmp"_s.arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            m_paths << QFileInfo(file).canonicalFilePath();
            recent->add(file.fileName());
        }
    }

private slots:
    void runActsUntilAProjectIsOpen_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("new") << QStringList{u"new"_s} << QList<bool>{true} << 1
                             << QStringList{u"new"_s};
        QTest::newRow("open cancelled, exit") << QStringList{u"open"_s, u"exit"_s}
                                              << QList<bool>{false} << 0 << QStringList{u"open"_s};
        QTest::newRow("recent refused, new by key")
            << QStringList{u"recent"_s, u"key new"_s} << QList<bool>{false, true} << 1
            << QStringList{u"open:r1.lmp"_s, u"new"_s};
        QTest::newRow("recent") << QStringList{u"recent"_s} << QList<bool>{true} << 3
                                << QStringList{u"open:r1.lmp"_s};
        QTest::newRow("browse item")
            << QStringList{u"browse"_s} << QList<bool>{true} << 2 << QStringList{u"open"_s};
        QTest::newRow("open by key")
            << QStringList{u"key open"_s} << QList<bool>{true} << 2 << QStringList{u"open"_s};
        QTest::newRow("quit by key")
            << QStringList{u"key quit"_s} << QList<bool>{} << 0 << QStringList{};
        QTest::newRow("window closed")
            << QStringList{u"close"_s} << QList<bool>{} << 0 << QStringList{};
        QTest::newRow("right click chooses nothing")
            << QStringList{u"right+exit"_s} << QList<bool>{} << 0 << QStringList{};
        QTest::newRow("stopped") << QStringList{u"stop"_s} << QList<bool>{} << 4 << QStringList{};
    }

    void runActsUntilAProjectIsOpen()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<bool>, answers);
        QFETCH(int, result);
        QFETCH(QStringList, calls);

        RecentFiles recent(u"Test/Recent"_s, 5);
        addFiles(&recent, 2);
        LumLaunchDialog dialog(&recent);
        ScriptedHandler handler;
        handler.answers = answers;
        ModalAnswerer answerer;
        for (const QString &step : std::as_const(steps))
            answerer.act(dialog.windowTitle(),
                         [&dialog, step](QWidget *) { perform(&dialog, step); });

        QCOMPARE(dialog.run(&handler), result);
        QCOMPARE(handler.calls, calls);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A sixth file drops the oldest, reopening moves a file to the top, a
    // file deleted meanwhile is left out, and browsing comes last.
    void listShowsTheRecentFilesThatExist()
    {
        RecentFiles recent(u"Test/List"_s, 5);
        LumLaunchDialog dialog(&recent);
        addFiles(&recent, 6);
        recent.add(m_paths.at(2));
        QFile::remove(m_paths.at(4));

        dialog.refreshRecentFiles();
        QStringList shown;
        for (int row = 0; row < listModel(&dialog)->rowCount(); ++row)
            shown << listModel(&dialog)->index(row, 0).data(LaunchDialog::PathRole).toString();
        QCOMPARE(shown, (QStringList{m_paths[2], m_paths[5], m_paths[3], m_paths[1], QString()}));
        QCOMPARE(listModel(&dialog)->index(0, 0).data().toString(), u"r2.lmp"_s);

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(unnamedFields(&dialog).join(u','), QString());
    }

    void contextMenuRemovesAFileFromTheList_data()
    {
        QTest::addColumn<bool>("browseItem");
        QTest::newRow("recent file") << false;
        QTest::newRow("browse item") << true;
    }

    void contextMenuRemovesAFileFromTheList()
    {
        QFETCH(bool, browseItem);
        RecentFiles recent(u"Test/Menu"_s, 5);
        addFiles(&recent, 2);
        LumLaunchDialog dialog(&recent);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QStringList offered;
        QTimer::singleShot(0, [&offered] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                offered << action->text();
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(menu->actions().value(0)).center());
        });
        const int row = browseItem ? listModel(&dialog)->rowCount() - 1 : 0;
        QWidget *viewport = dialog.recentFileList()->viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, rowCentre(&dialog, row),
                                viewport->mapToGlobal(rowCentre(&dialog, row)));
        QApplication::sendEvent(viewport, &event);
        QCoreApplication::processEvents();

        QCOMPARE(offered, browseItem ? QStringList() : QStringList{u"Remove from list"_s});
        const QStringList left =
            browseItem ? QStringList{m_paths[1], m_paths[0]} : QStringList{m_paths[0]};
        QCOMPARE(recent.files(), left);
        QCOMPARE(listModel(&dialog)->rowCount(), recent.files().size() + 1);
    }

    // Through the desktop: "Open..." with the file dialog cancelled shows the
    // launch dialog again, and a recent file then opens its project.
    void desktopOpensARecentProject()
    {
        std::unique_ptr<LumApplication> app(LumApplication::create());
        GuiShell shell(app.get());
        MainWindow::instance()->show();
        DesktopController controller(app.get(), &shell);
        const QString path = m_dir.filePath(u"show.lmp"_s);
        app->beginProject(false);
        QVERIFY(app->document()->saveAs(path, nullptr));
        app->endProject();
        controller.recentFiles()->add(path);

        ModalAnswerer answerer;
        const QString title = LumLaunchDialog(controller.recentFiles()).windowTitle();
        answerer.answer(title, u"Open..."_s)
            .answer(u"Open File"_s, u"Cancel"_s)
            .act(title, [](QWidget *window) { clickRow(static_cast<LaunchDialog *>(window), 0); });
        PendingDialogs().runLaunchDialog(&controller, controller.recentFiles(),
                                         MainWindow::instance());

        QVERIFY(app->isDocumentOpen());
        QCOMPARE(app->document()->path(), QFileInfo(path).canonicalFilePath());
        QVERIFY(answerer.done());
        QCOMPARE(answerer.unexpected(), QStringList());
        app->endProject();
        MainWindow::destroyInstance();
    }
};

RW_TEST_GUI_MAIN(TestLaunchDialog)
#include "tst_launch_dialog.moc"
