#include "desktop_scene.h"

namespace {

// Answers from a script and records what it was asked.
struct ScriptedHandler : LaunchDialogHandler
{
    QList<bool> answers;
    QStringList calls;

    bool launchNewDocument() override { return next(u"new"_s); }
    bool launchOpenDocument(const QString &path) override
    {
        return next(QFileInfo(path).fileName());
    }
    bool launchOpenDocument() override { return next(u"open"_s); }
    bool next(const QString &call)
    {
        calls << call;
        return !answers.isEmpty() && answers.takeFirst();
    }
};

QPoint rowCentre(LaunchDialog *dialog, int row)
{
    QListView *list = dialog->recentFileList();
    return list->visualRect(list->model()->index(row < 0 ? list->model()->rowCount() - 1 : row, 0))
        .center();
}

// One showing of the dialog, steps joined by "+": a button's text, a key
// ("Ctrl N"), a click on the first item ("recent"), on the last ("browse"),
// a right click on the first ("right"), "close" the window, or "stop" it.
void perform(LaunchDialog *dialog, const QString &steps)
{
    QWidget *list = dialog->recentFileList()->viewport();
    for (const QString &step : steps.split(u'+')) {
        if (step == u"recent" || step == u"right" || step == u"browse")
            QTest::mouseClick(list, step == u"right" ? Qt::RightButton : Qt::LeftButton, {},
                              rowCentre(dialog, step == u"browse" ? -1 : 0));
        else if (step == u"close" || step == u"stop")
            step == u"close" ? void(dialog->close()) : dialog->done(LaunchDialog::Result_Stop);
        else if (step.startsWith(u"Ctrl "))
            QTest::keySequence(dialog, QKeySequence(u"Ctrl+"_s + step.back()));
        else
            ModalAnswerer::clickButton(dialog, step);
    }
}

// The entries of the menu a right click on the row offers; the first is chosen.
QStringList contextMenu(LaunchDialog *dialog, int row)
{
    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                offered << action->text();
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(menu->actions().value(0)).center());
        }
    });
    QWidget *list = dialog->recentFileList()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, rowCentre(dialog, row),
                            list->mapToGlobal(rowCentre(dialog, row)));
    QApplication::sendEvent(list, &event);
    QCoreApplication::processEvents();
    return offered;
}

} // namespace

class TestLaunchDialog : public DesktopScene
{
    Q_OBJECT

    QStringList m_paths;
    std::unique_ptr<RecentFiles> m_recent;

    // Files r0..r5 added oldest first; r1 reopened, r3 deleted since.
    void makeRecentFiles()
    {
        m_recent = std::make_unique<RecentFiles>(u"Test/Recent"_s, 5);
        m_paths.clear();
        for (int i = 0; i < 6; ++i) {
            QFile file(m_dir.filePath(u"r%1.lmp"_s.arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            m_paths << QFileInfo(file).canonicalFilePath();
            m_recent->add(file.fileName());
        }
        m_recent->add(m_paths[1]);
        QFile::remove(m_paths[3]);
    }

private slots:
    void runActsUntilAProjectIsOpen_data()
    {
        QTest::addColumn<QStringList>("showings");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("calls");
        using L = QStringList;
        using B = QList<bool>;
        QTest::newRow("new") << L{u"New..."_s} << B{true} << 1 << L{u"new"_s};
        QTest::newRow("open cancelled, exit")
            << L{u"Open..."_s, u"Exit"_s} << B{false} << 0 << L{u"open"_s};
        QTest::newRow("recent refused, new by key")
            << L{u"recent"_s, u"Ctrl N"_s} << B{false, true} << 1 << L{u"r1.lmp"_s, u"new"_s};
        QTest::newRow("recent") << L{u"recent"_s} << B{true} << 3 << L{u"r1.lmp"_s};
        QTest::newRow("browse item") << L{u"browse"_s} << B{true} << 2 << L{u"open"_s};
        QTest::newRow("open by key") << L{u"Ctrl O"_s} << B{true} << 2 << L{u"open"_s};
        QTest::newRow("quit by key") << L{u"Ctrl Q"_s} << B{} << 0 << L{};
        QTest::newRow("window closed") << L{u"close"_s} << B{} << 0 << L{};
        QTest::newRow("right click") << L{u"right+Exit"_s} << B{} << 0 << L{};
        QTest::newRow("stopped") << L{u"stop"_s} << B{} << 4 << L{};
    }

    void runActsUntilAProjectIsOpen()
    {
        QFETCH(QStringList, showings);
        QFETCH(QList<bool>, answers);
        QFETCH(int, result);
        QFETCH(QStringList, calls);
        makeRecentFiles();
        LumLaunchDialog dialog(m_recent.get());
        ScriptedHandler handler;
        handler.answers = answers;
        ModalAnswerer answerer;
        for (const QString &steps : std::as_const(showings))
            answerer.act(dialog.windowTitle(),
                         [&dialog, steps](QWidget *) { perform(&dialog, steps); });

        QCOMPARE(dialog.run(&handler), result);
        QCOMPARE(handler.calls, calls);
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
    }

    // The sixth file dropped the oldest, the reopened one is first, the
    // deleted one is left out of the loaded list and the dialog, browsing
    // comes last and has no menu; a recent file's menu removes it.
    void listShowsTheRecentFilesThatExist()
    {
        makeRecentFiles();
        QSignalSpy triggered(m_recent.get(), &RecentFiles::recentFileTriggered);
        m_recent->actionGroup()->actions().at(1)->trigger();
        QCOMPARE(triggered.value(0).value(0).toString(), m_paths[5]);
        RecentFiles loaded(u"Test/Recent"_s, 5);
        loaded.load();
        QCOMPARE(loaded.files(), (QStringList{m_paths[1], m_paths[5], m_paths[4], m_paths[2]}));
        QCOMPARE(loaded.menu()->actions().size(), 4);

        LumLaunchDialog dialog(m_recent.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(unnamedFields(&dialog).join(u','), QString());
        const QAbstractItemModel *list = dialog.recentFileList()->model();
        const auto shown = [list] {
            QStringList paths;
            for (int row = 0; row < list->rowCount(); ++row)
                paths << list->index(row, 0).data(LaunchDialog::PathRole).toString();
            return paths;
        };
        QCOMPARE(shown(), (QStringList{m_paths[1], m_paths[5], m_paths[4], m_paths[2], QString()}));

        QCOMPARE(contextMenu(&dialog, -1), QStringList());
        QCOMPARE(contextMenu(&dialog, 0), QStringList{u"Remove from list"_s});
        QCOMPARE(shown(), (QStringList{m_paths[5], m_paths[4], m_paths[2], QString()}));
        QVERIFY(!m_recent->files().contains(m_paths[1]));
    }

    // Through the launch dialog: "Open..." with the file dialog cancelled
    // shows it again, and a recent file then opens its project.
    void launchDialogOpensARecentProject()
    {
        openModifiedProject(u"recent.lmp"_s);
        const QString path = document()->path();
        m_app->endProject();
        m_controller->recentFiles()->add(path);
        ModalAnswerer answerer;
        const QString title = LumLaunchDialog(m_controller->recentFiles()).windowTitle();
        answerer.answer(title, u"Open..."_s)
            .answer(u"Open File"_s, u"Cancel"_s)
            .act(title, [](QWidget *w) { perform(static_cast<LaunchDialog *>(w), u"recent"_s); });
        ApplicationDialogs().runLaunchDialog(m_controller.get(), m_controller->recentFiles(),
                                             MainWindow::instance());
        QCOMPARE(document()->path(), QFileInfo(path).canonicalFilePath());
        QVERIFY(m_app->isDocumentOpen() && answerer.done() && answerer.unexpected().isEmpty());
    }
};

RW_TEST_GUI_MAIN(TestLaunchDialog)
#include "tst_launch_dialog.moc"
