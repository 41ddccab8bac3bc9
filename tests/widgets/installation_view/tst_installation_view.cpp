#include "desktop_scene.h"

class TestInstallationView : public DesktopScene
{
    Q_OBJECT

private slots:
    void rowsFollowTheProject()
    {
        const QModelIndex group = model()->groupIndex(0);
        QCOMPARE(model()->rowCount(group), 2);
        const QModelIndex controllerRow = model()->controllerIndex(m_ids[1]);
        QCOMPARE(controllerRow.parent(), model()->installationIndex(installationOf(m_ids[1])));
        // The show file, then the two slot files of the show's clips.
        QCOMPARE(model()->rowCount(controllerRow), 3);
        QCOMPARE(model()->fileIndex(m_ids[1], 1, MediaType_Slot).row(), 2);

        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"Stage"_s));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(group.data().toString(), u"Stage"_s);
    }

    void feedbackRefreshesOnlyItsCells()
    {
        const uint id = m_ids[0];
        QSignalSpy changes(model(), &QAbstractItemModel::dataChanged);
        feedback()->reset(id);
        feedback()->setState(id, UploadState_Uploading, QString());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), model()->controllerIndex(id).siblingAtColumn(7));
        QCOMPARE(changes[0][1], changes[0][0]);

        feedback()->addFile(id, uint(-1), MediaType_Show, 200);
        changes.clear();
        for (const quint64 sent : {10, 50, 100})
            feedback()->setFileProgress(id, uint(-1), MediaType_Show, sent);
        QCOMPARE(changes.size(), 0); // gathered until the frame is drawn
        model()->flushProgress();
        QCOMPARE(changes.size(), 2); // the file's cell and the controller's
        const QModelIndex fileCell =
            model()->fileIndex(id, uint(-1), MediaType_Show).siblingAtColumn(8);
        QCOMPARE(fileCell.data(), QVariant(50u));
        QCOMPARE(model()->controllerIndex(id).siblingAtColumn(8).data(), QVariant(50u));

        // Neighbouring file rows of a frame come as one range.
        for (const uint slot : {1, 0, 1}) {
            feedback()->addFile(id, slot, MediaType_Slot, 100);
            feedback()->setFileProgress(id, slot, MediaType_Slot, 10);
        }
        changes.clear();
        model()->flushProgress();
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[0][0].toModelIndex(),
                 model()->fileIndex(id, 0, MediaType_Slot).siblingAtColumn(8));
        QCOMPARE(changes[0][1].toModelIndex(),
                 model()->fileIndex(id, 1, MediaType_Slot).siblingAtColumn(8));

        // Read out through the tree's accessible cells, as a percentage.
        view()->expandAll();
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(view());
        QVERIFY(tree && tree->tableInterface());
        const QRect rect = view()->visualRect(shown(fileCell));
        QVERIFY(rect.isValid());
        QAccessibleInterface *cell =
            tree->childAt(view()->viewport()->mapToGlobal(rect.center()).x(),
                          view()->viewport()->mapToGlobal(rect.center()).y());
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), u"50%"_s);
    }

    // A sorted tree: progress reaches each row where it is shown, and a tree
    // sorted by progress moves the rows as it changes.
    void sortedTreeFollowsFeedback()
    {
        const uint id = m_ids[0];
        QModelIndex cells[2];
        for (const uint slot : {0u, 1u}) {
            feedback()->addFile(id, slot, MediaType_Slot, 100);
            cells[slot] = model()->fileIndex(id, slot, MediaType_Slot).siblingAtColumn(8);
        }
        QSignalSpy changes(view()->proxy(), &QAbstractItemModel::dataChanged);
        view()->sortByColumn(InstallationModel::Column_NAME, Qt::DescendingOrder);
        QCOMPARE(shown(cells[1]).row(), 0); // "Slot 2" before "Slot 1" and "Show"
        feedback()->setFileProgress(id, 1, MediaType_Slot, 30);
        model()->flushProgress();
        QCOMPARE(changes.size(), 2); // the file's cell and the controller's
        QCOMPARE(changes[0][0].toModelIndex(), shown(cells[1]));
        QCOMPARE(changes[0][1].toModelIndex(), shown(cells[1]));

        view()->sortByColumn(InstallationModel::Column_PROGRESS, Qt::DescendingOrder);
        QVERIFY(shown(cells[1]).row() < shown(cells[0]).row());
        feedback()->setFileProgress(id, 0, MediaType_Slot, 60);
        model()->flushProgress();
        QVERIFY(shown(cells[0]).row() < shown(cells[1]).row());
    }

    void edits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("pushed");
        QTest::newRow("new hostname") << 2 << QVariant(u"10.0.0.9"_s) << true;
        QTest::newRow("duplicate host") << 2 << QVariant(u"10.0.0.2"_s) << false;
        QTest::newRow("same HTTP port") << 3 << QVariant(80) << false;
        QTest::newRow("new HTTP port") << 3 << QVariant(8080) << true;
        QTest::newRow("same FTP port") << 4 << QVariant(21) << false;
    }

    void edits()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(bool, pushed);
        controller(m_ids[1])->restoreAddress(u"10.0.0.2"_s, 80, 21);
        const QModelIndex cell = model()->controllerIndex(m_ids[0]).siblingAtColumn(column);
        // The hostname is edited in a line, the ports in a spin box.
        std::unique_ptr<QWidget> editor(
            view()->itemDelegate()->createEditor(view()->viewport(), {}, shown(cell)));
        auto *spin = qobject_cast<QSpinBox *>(editor.get());
        QVERIFY(column == 2 ? qobject_cast<QLineEdit *>(editor.get()) != nullptr
                            : spin && spin->maximum() == 65535);
        const QVariant before = cell.data();
        const int steps = document()->undoStack()->count();
        ModalAnswerer answerer; // a host already in use is refused with a warning
        if (value == QVariant(u"10.0.0.2"_s))
            answerer.answer(u"Duplicate Host"_s, u"OK"_s);
        QCOMPARE(model()->setData(cell, value), pushed);
        QVERIFY(answerer.done());
        QCOMPARE(document()->undoStack()->count(), steps + (pushed ? 1 : 0));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(cell.data() == before, !pushed);
    }

    void ctrlClickOfAControllerLeavesOnlyIt()
    {
        InstallationSelectionModel *selection = view()->installationSelection();
        select(model()->installationIndex(installationOf(m_ids[0])),
               QItemSelectionModel::ClearAndSelect);
        select(model()->installationIndex(installationOf(m_ids[1])), QItemSelectionModel::Toggle);
        QCOMPARE(selection->selectedControllers(), idSet(m_ids));

        select(model()->controllerIndex(m_ids[1]), QItemSelectionModel::Toggle);
        QCOMPARE(selection->kind(), InstallationSelectionModel::Kind_CONTROLLERS);
        QVERIFY(selection->selectedInstallations().empty());
        QCOMPARE(selection->selectedControllers(), IdSet{m_ids[1]});
        QCOMPARE(selection->selectedRows().size(), 1);

        // A removed row leaves the record.
        m_app->endProject();
        QVERIFY(selection->selectedControllers().empty());
    }

    void missingFileIsRedWithItsReason()
    {
        QFile::remove(m_show.clipPath(2)); // the show's slot 1
        const QModelIndex missing = model()->fileIndex(m_ids[0], 1, MediaType_Slot);
        const QModelIndex present = model()->fileIndex(m_ids[0], 0, MediaType_Slot);
        QCOMPARE(missing.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
        QVERIFY(!missing.data(Qt::ToolTipRole).toString().isEmpty());
        QVERIFY(!present.data(Qt::ForegroundRole).isValid());
        QVERIFY(!InstallationModel::hasValidFiles(*controller(m_ids[0])));
        m_show.writeClip(2, "back");
    }

    void expansionAndWidthsSurviveSaveAndReopen()
    {
        const QString path = m_dir.filePath(u"tree.lmp"_s);
        const uint collapsed = installationOf(m_ids[0]);
        const uint expanded = installationOf(m_ids[1]);
        view()->expand(shown(model()->groupIndex(0)));
        view()->collapse(shown(model()->installationIndex(collapsed)));
        view()->expand(shown(model()->installationIndex(expanded)));
        view()->setColumnWidth(2, 123);
        QVERIFY(document()->saveAs(path));

        m_app->endProject();
        QVERIFY(document()->load(path));
        m_app->beginProject(true);
        QVERIFY(view()->isExpanded(shown(model()->groupIndex(0))));
        QVERIFY(!view()->isExpanded(shown(model()->installationIndex(collapsed))));
        QVERIFY(view()->isExpanded(shown(model()->installationIndex(expanded))));
        QCOMPARE(view()->columnWidth(2), 123);
    }

    void contextMenus_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("group") << 1
                               << QStringList{u"Add Installation"_s, u"Edit Project Template"_s,
                                              u"Delete"_s,           u"Schedule Upload"_s,
                                              u"Expand"_s,           u"Expand All"_s,
                                              u"Collapse All"_s};
        QTest::newRow("installation") << 2
                                      << QStringList{u"Schedule Upload"_s, u"Delete"_s, u"Expand"_s,
                                                     u"Expand All"_s, u"Collapse All"_s};
        QTest::newRow("file") << 4 << QStringList{u"Expand All"_s, u"Collapse All"_s};
    }

    void contextMenus()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, entries);
        const QModelIndex rows[] = {{},
                                    model()->groupIndex(0),
                                    model()->installationIndex(installationOf(m_ids[0])),
                                    {},
                                    model()->fileIndex(m_ids[0], uint(-1), MediaType_Show)};
        view()->collapseAll();
        select(rows[kind], QItemSelectionModel::ClearAndSelect);
        std::unique_ptr<QMenu> menu(view()->createContextMenu(shown(rows[kind])));
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        QCOMPARE(texts, entries);
    }
};

RW_TEST_GUI_MAIN(TestInstallationView)
#include "tst_installation_view.moc"
