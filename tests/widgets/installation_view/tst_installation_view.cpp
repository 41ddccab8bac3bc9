#include "installation_item.h"
#include "installation_model.h"
#include "installation_selection_model.h"
#include "installation_view.h"
#include "link_fixture.h"
#include "set_installation_group_name_command.h"
#include "test_main.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::Literals::StringLiterals;
using M = InstallationModel;

class TestInstallationView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;
    std::unique_ptr<InstallationView> m_view;
    InstallationModel *m_model = nullptr;
    ShowFolder m_show;
    QList<uint> m_ids; // the controllers, one per installation

    QModelIndex shown(const QModelIndex &source) const
    {
        return m_view->proxy()->mapFromSource(source);
    }
    void select(const QModelIndex &source, QItemSelectionModel::SelectionFlags flags)
    {
        m_view->installationSelection()->select(shown(source), flags | QItemSelectionModel::Rows);
    }
    uint installationOf(uint controllerId) const
    {
        return controller(controllerId)->installationId();
    }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        m_model = new InstallationModel(m_app.get(), m_app.get());
        m_view = std::make_unique<InstallationView>(m_model, document());
    }

    void init()
    {
        m_app->endProject();
        resetApplication();
        m_ids = addControllers(m_show.controllerTemplate(), 2);
        for (int i = 0; i < m_ids.size(); ++i)
            controller(m_ids[i])->restoreAddress(QStringLiteral("10.0.0.%1").arg(i + 1), 80, 21);
        m_app->beginProject(false);
    }

    void rowsFollowTheProject()
    {
        const QModelIndex group = m_model->groupIndex(0);
        QCOMPARE(m_model->rowCount(group), 2);
        const QModelIndex controllerRow = m_model->controllerIndex(m_ids[1]);
        QCOMPARE(controllerRow.parent(), m_model->installationIndex(installationOf(m_ids[1])));
        // The show file, then the two slot files of the show's clips.
        QCOMPARE(m_model->rowCount(controllerRow), 3);
        QCOMPARE(m_model->fileIndex(m_ids[1], 1, MediaType_Slot).row(), 2);

        document()->undoStack()->push(
            new SetInstallationGroupNameCommand(0, QStringLiteral("Stage")));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(group.data().toString(), QStringLiteral("Stage"));
    }

    void feedbackRefreshesOnlyItsCells()
    {
        const uint id = m_ids[0];
        QSignalSpy changes(m_model, &QAbstractItemModel::dataChanged);
        feedback()->reset(id);
        feedback()->setState(id, UploadState_Uploading, QString());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), m_model->controllerIndex(id).siblingAtColumn(7));
        QCOMPARE(changes[0][1], changes[0][0]);

        feedback()->addFile(id, uint(-1), MediaType_Show, 200);
        changes.clear();
        for (const quint64 sent : {10, 50, 100})
            feedback()->setFileProgress(id, uint(-1), MediaType_Show, sent);
        QCOMPARE(changes.size(), 0); // gathered until the frame is drawn
        m_model->flushProgress();
        QCOMPARE(changes.size(), 2); // the file's cell and the controller's
        const QModelIndex fileCell =
            m_model->fileIndex(id, uint(-1), MediaType_Show).siblingAtColumn(8);
        QCOMPARE(fileCell.data(), QVariant(50u));
        QCOMPARE(m_model->controllerIndex(id).siblingAtColumn(8).data(), QVariant(50u));

        // Read out through the tree's accessible cells, as a percentage.
        m_view->expandAll();
        m_view->show();
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(m_view.get());
        QVERIFY(tree && tree->tableInterface());
        const QRect rect = m_view->visualRect(shown(fileCell));
        QVERIFY(rect.isValid());
        QAccessibleInterface *cell =
            tree->childAt(m_view->viewport()->mapToGlobal(rect.center()).x(),
                          m_view->viewport()->mapToGlobal(rect.center()).y());
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("50%"));
        m_view->hide();
    }

    void edits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("pushed");
        QTest::newRow("new hostname") << 2 << QVariant(QStringLiteral("10.0.0.9")) << true;
        QTest::newRow("duplicate host") << 2 << QVariant(QStringLiteral("10.0.0.2")) << false;
        QTest::newRow("same HTTP port") << 3 << QVariant(80) << false;
        QTest::newRow("new HTTP port") << 3 << QVariant(8080) << true;
        QTest::newRow("same FTP port") << 4 << QVariant(21) << false;
    }

    void edits()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(bool, pushed);
        const QModelIndex cell = m_model->controllerIndex(m_ids[0]).siblingAtColumn(column);
        // The hostname is edited in a line, the ports in a spin box.
        std::unique_ptr<QWidget> editor(
            m_view->itemDelegate()->createEditor(m_view->viewport(), {}, shown(cell)));
        auto *spin = qobject_cast<QSpinBox *>(editor.get());
        QVERIFY(column == 2 ? qobject_cast<QLineEdit *>(editor.get()) != nullptr
                            : spin && spin->maximum() == 65535);
        const QVariant before = cell.data();
        const int steps = document()->undoStack()->count();
        QCOMPARE(m_model->setData(cell, value), pushed);
        QCOMPARE(document()->undoStack()->count(), steps + (pushed ? 1 : 0));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(cell.data() == before, !pushed);
    }

    void ctrlClickOfAControllerLeavesOnlyIt()
    {
        InstallationSelectionModel *selection = m_view->installationSelection();
        select(m_model->installationIndex(installationOf(m_ids[0])),
               QItemSelectionModel::ClearAndSelect);
        select(m_model->installationIndex(installationOf(m_ids[1])), QItemSelectionModel::Toggle);
        QCOMPARE(selection->selectedControllers(), idSet(m_ids));

        select(m_model->controllerIndex(m_ids[1]), QItemSelectionModel::Toggle);
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
        const QModelIndex missing = m_model->fileIndex(m_ids[0], 1, MediaType_Slot);
        const QModelIndex present = m_model->fileIndex(m_ids[0], 0, MediaType_Slot);
        QCOMPARE(missing.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
        QVERIFY(!missing.data(Qt::ToolTipRole).toString().isEmpty());
        QVERIFY(!present.data(Qt::ForegroundRole).isValid());
        QVERIFY(!InstallationModel::hasValidFiles(*controller(m_ids[0])));
        m_show.writeClip(2, "back");
    }

    void expansionAndWidthsSurviveSaveAndReopen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tree.lmp"));
        const uint collapsed = installationOf(m_ids[0]);
        const uint expanded = installationOf(m_ids[1]);
        m_view->expand(shown(m_model->groupIndex(0)));
        m_view->collapse(shown(m_model->installationIndex(collapsed)));
        m_view->expand(shown(m_model->installationIndex(expanded)));
        m_view->setColumnWidth(2, 123);
        QVERIFY(document()->saveAs(path));

        m_app->endProject();
        QVERIFY(document()->load(path));
        m_app->beginProject(true);
        QVERIFY(m_view->isExpanded(shown(m_model->groupIndex(0))));
        QVERIFY(!m_view->isExpanded(shown(m_model->installationIndex(collapsed))));
        QVERIFY(m_view->isExpanded(shown(m_model->installationIndex(expanded))));
        QCOMPARE(m_view->columnWidth(2), 123);
    }

    void contextMenus_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("group") << 1
                               << QStringList{u"Add Installation"_s, u"Edit Project Template"_s,
                                              u"Delete"_s,           u"Expand"_s,
                                              u"Expand All"_s,       u"Collapse All"_s};
        QTest::newRow("installation")
            << 2 << QStringList{u"Delete"_s, u"Expand"_s, u"Expand All"_s, u"Collapse All"_s};
        QTest::newRow("file") << 4 << QStringList{u"Expand All"_s, u"Collapse All"_s};
    }

    void contextMenus()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, entries);
        const QModelIndex rows[] = {{},
                                    m_model->groupIndex(0),
                                    m_model->installationIndex(installationOf(m_ids[0])),
                                    {},
                                    m_model->fileIndex(m_ids[0], uint(-1), MediaType_Show)};
        m_view->collapseAll();
        select(rows[kind], QItemSelectionModel::ClearAndSelect);
        std::unique_ptr<QMenu> menu(m_view->createContextMenu(shown(rows[kind])));
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        QCOMPARE(texts, entries);
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_app.reset();
    }
};

RW_TEST_GUI_MAIN(TestInstallationView)
#include "tst_installation_view.moc"
