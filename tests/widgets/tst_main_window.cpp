#include "desktop_scene.h"

class TestMainWindow : public DesktopScene
{
    Q_OBJECT

private slots:
    void enabling_data()
    {
        QTest::addColumn<int>("selected"); // 0 none, then the kind of row; 4 an edit
        QTest::addColumn<QList<int>>("enabled");
        const QList<int> always{A::Action_New,         A::Action_Open, A::Action_OpenRecent,
                                A::Action_Preferences, A::Action_Help, A::Action_About};
        const QList<int> open =
            always + QList<int>{A::Action_SaveAs,          A::Action_Close,
                                A::Action_AddInstallation, A::Action_UploadAll,
                                A::Action_EmailSettings,   A::Action_PasswordManager};
        const QList<int> controllers{A::Action_ScheduleUpload, A::Action_WebInterface};
        QTest::newRow("no project") << -1 << always;
        QTest::newRow("nothing selected") << 0 << open;
        QTest::newRow("group") << 1
                               << open + controllers +
                                      QList<int>{A::Action_EditProjectTemplate,
                                                 A::Action_RemoveInstallation};
        QTest::newRow("installation")
            << 2 << open + controllers + QList<int>{A::Action_RemoveInstallation};
        QTest::newRow("controller") << 3 << open + controllers;
        QTest::newRow("edited") << 4 << open + QList<int>{A::Action_Save};
    }

    void enabling()
    {
        QFETCH(int, selected);
        QFETCH(QList<int>, enabled);
        const QModelIndex rows[] = {QModelIndex(), model()->groupIndex(0),
                                    model()->installationIndex(installationOf(m_ids[0])),
                                    model()->controllerIndex(m_ids[0])};
        if (selected < 0)
            m_app->endProject();
        if (selected == 4)
            document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"x"_s));
        else if (selected > 0)
            select(rows[selected]);
        QList<int> actual;
        for (int number = 0; number < A::Action_MAX; ++number) {
            const QAction *each = window()->actions()->action(number);
            if (each->isVisible() && each->isEnabled())
                actual << number;
        }
        std::sort(enabled.begin(), enabled.end());
        QCOMPARE(actual, enabled);
        QCOMPARE(window()->isWindowModified(), selected == 4);
        QVERIFY(selected < 0 || window()->windowTitle().contains("[*]"_L1));
    }

    void trayToolTip_data()
    {
        QTest::addColumn<int>("sent"); // of 200 bytes; -1: no progress known, -2: no upload
        QTest::addColumn<bool>("scheduled");
        QTest::addColumn<QString>("expected");
        QTest::newRow("idle") << -2 << false << u"No uploads pending"_s;
        QTest::newRow("scheduled") << -2 << true << u"Next upload at "_s;
        QTest::newRow("progress unknown") << -1 << true << u"Uploading to 1 controller(s)"_s;
        QTest::newRow("progress") << 50 << false
                                  << u"Uploading to 1 controller(s) - 25% complete"_s;
    }

    void trayToolTip()
    {
        QFETCH(int, sent);
        QFETCH(bool, scheduled);
        QFETCH(QString, expected);
        const bool uploading = sent > -2;
        const uint id = m_ids[0];
        if (scheduled)
            document()->uploadSchedule().schedule(id, QDateTime::currentDateTime().addDays(1));
        if (uploading)
            feedback()->setState(id, UploadState_Uploading, QString());
        if (sent >= 0) {
            feedback()->addFile(id, uint(-1), MediaType_Show, 200);
            feedback()->setFileProgress(id, uint(-1), MediaType_Show, quint64(sent));
        }
        QCoreApplication::processEvents(); // the actions follow the states
        window()->refreshSystemTrayToolTip();
        QVERIFY2(window()->trayIcon()->toolTip().startsWith(expected),
                 qPrintable(window()->trayIcon()->toolTip()));
        QCOMPARE(window()->actions()->action(A::Action_CancelUploadsTray)->isVisible(), uploading);
    }

    void webInterfaceTabs_data()
    {
        QTest::addColumn<uint>("httpPort"); // 0: not found on the network
        QTest::addColumn<QString>("title");
        QTest::newRow("port 80") << 80u << u"rig.local"_s;
        QTest::newRow("port 8080") << 8080u << u"rig.local:8080"_s;
        QTest::newRow("undiscovered") << 0u << QString();
    }

    void webInterfaceTabs()
    {
        QFETCH(uint, httpPort);
        QFETCH(QString, title);
        const uint id = m_ids[0];
        if (httpPort != 0)
            makeFound(id, httpPort);
        select(model()->controllerIndex(id));
        QTabWidget *tabs = window()->tabWidget();
        window()->showWWWInterface();
        window()->showWWWInterface(); // the open tab comes forward, no second one
        QCOMPARE(tabs->count(), title.isEmpty() ? 1 : 2);
        if (title.isEmpty())
            return;
        QCOMPARE(tabs->tabText(1), title);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(static_cast<QLabel *>(tabs->widget(1))->text(), u"http://"_s + title);

        window()->onTabCloseRequested(0);
        QCOMPARE(tabs->count(), 2);
        window()->onTabCloseRequested(1);
        QCOMPARE(tabs->count(), 1);
        QVERIFY(!window()->browserTab(id));
    }

    void uploadConfirmation_data()
    {
        QTest::addColumn<QString>("button"); // empty: Escape
        QTest::newRow("Continue") << u"Continue"_s;
        QTest::newRow("Cancel") << u"Cancel"_s;
        QTest::newRow("Escape") << QString();
    }

    void uploadConfirmation()
    {
        QFETCH(QString, button);
        QFile::remove(m_show.clipPath(1));
        QSignalSpy runs(LinkFixture::runs(), &UploadRuns::runStarting);
        ModalAnswerer answerer;
        if (button.isEmpty())
            answerer.act(u"Upload"_s, [](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
        else
            answerer.answer(u"Upload"_s, button);
        window()->uploadAll();
        m_show.writeClip(1, "back");
        QVERIFY(answerer.done());
        QCOMPARE(runs.size(), button == u"Continue" ? 1 : 0);
        m_app->endProject();
    }

    // Into the tray where there is one, else to the task bar.
    void minimising()
    {
        for (const bool tray : {true, false}) {
            MainWindow::setTrayAvailable(tray);
            window()->showMinimized();
            QCoreApplication::processEvents();
            QCOMPARE(window()->isVisible(), !tray);
            QCOMPARE(window()->isInTray(), tray);
            QCOMPARE(window()->restoreAction()->isVisible(), tray);
            if (tray)
                window()->restoreAction()->trigger();
            else
                window()->bringToFront();
            QVERIFY(window()->isVisible());
            QVERIFY(!window()->isMinimized());
            QVERIFY(!window()->isInTray());
        }
        MainWindow::setTrayAvailable(std::nullopt);
    }

    void controlsAreNamedForScreenReaders()
    {
        QStringList unnamed;
        const auto check = [&](QObject *object, const QString &expected) {
            QAccessibleInterface *access = QAccessible::queryAccessibleInterface(object);
            if (!access || access->text(QAccessible::Name) != expected)
                unnamed << expected;
        };
        for (QToolButton *button : window()->toolBar()->findChildren<QToolButton *>()) {
            if (button->defaultAction())
                check(button, button->defaultAction()->text());
        }
        check(window()->logDock(), u"Log Viewer"_s);
        QMenu *tray = window()->trayIcon()->contextMenu();
        QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(tray);
        for (int i = 0; i < menu->childCount(); ++i) {
            if (menu->child(i)->text(QAccessible::Name).isEmpty())
                unnamed << QString::number(i);
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
    }
};

RW_TEST_GUI_MAIN(TestMainWindow)
#include "tst_main_window.moc"
