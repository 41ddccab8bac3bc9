// The main window with its actions, tabs and tray, the dialogs it opens, and
// the start-up pieces of the desktop.

#include "accessible_names.h"
#include "action_manager.h"
#include "add_installation_dialog.h"
#include "application_dialogs.h"
#include "desktop_controller.h"
#include "email_settings_dialog.h"
#include "file_path_editor.h"
#include "gui_shell.h"
#include "installation_item.h"
#include "installation_model.h"
#include "installation_selection_model.h"
#include "installation_template_builder_dialog.h"
#include "installation_template_model.h"
#include "installation_template_table.h"
#include "installation_view.h"
#include "link_fixture.h"
#include "main_window.h"
#include "media_template_model.h"
#include "media_template_table.h"
#include "modal_answerer.h"
#include "preferences_dialog.h"
#include "set_installation_group_name_command.h"
#include "set_schedule_dialog.h"
#include "test_main.h"
#include "upload_runs.h"
#include "version_checker.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::Literals::StringLiterals;
using A = ActionManager;

namespace {

// The application's dialogs, but for the launch dialog and the software
// update, and a label in place of a controller's web pages.
class BrowserDialogs : public ApplicationDialogs
{
public:
    void runLaunchDialog(DesktopController *, RecentFiles *, QWidget *) override {}
    void runSoftwareUpdate(VersionChecker *, bool, QWidget *) override {}
    QWidget *createControllerBrowser(const QUrl &address, QWidget *parent) override
    {
        return new QLabel(address.toString(), parent);
    }
};

// A controller that counts as found on the network without asking it.
class FoundController : public Controller
{
public:
    using Controller::Controller;
    void discover() override { setDiscoveryState(Discovery_Found); }
};

MainWindow *window()
{
    return MainWindow::instance();
}

QAction *action(int number)
{
    return window()->actions()->action(number);
}

template <typename Widget>
Widget *child(QWidget *window, const QString &text)
{
    for (Widget *widget : window->findChildren<Widget *>()) {
        if (widget->accessibleName() == text || widget->text().remove(u'&') == text)
            return widget;
    }
    return nullptr;
}

// Fills in the template builder: `controllers` new controllers, then OK.
std::function<void(QWidget *)> buildTemplate(int controllers)
{
    return [controllers](QWidget *window) {
        for (int i = 0; i < controllers; ++i)
            child<QPushButton>(window, u"Add controller"_s)->click();
        ModalAnswerer::clickButton(window, u"OK"_s);
    };
}

// Picks the group in the given row and the number of installations, then OK.
std::function<void(QWidget *)> addInstallations(int row, int count)
{
    return [row, count](QWidget *window) {
        window->findChild<QListWidget *>()->setCurrentRow(row);
        window->findChild<QSpinBox *>()->setValue(count);
        ModalAnswerer::clickButton(window, u"OK"_s);
    };
}
// Opens the file dialog of the current row's file cell; `answer` handles it.
void browse(QWidget *table, const std::function<void(QFileDialog *)> &answer)
{
    auto *editor = table->findChild<FilePathEditor *>();
    QVERIFY(editor);
    ModalAnswerer answerer;
    answerer.act(u"Select an file"_s,
                 [&](QWidget *window) { answer(qobject_cast<QFileDialog *>(window)); });
    editor->findChild<QPushButton *>()->click();
    QVERIFY(answerer.done());
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl &url) { m_opened << url; } // by the desktop's browser

private:
    QList<QUrl> m_opened;
    QTemporaryDir m_builderDir;
    std::unique_ptr<LumApplication> m_app;
    std::unique_ptr<GuiShell> m_shell;
    std::unique_ptr<DesktopController> m_controller;
    ShowFolder m_show;
    QList<uint> m_ids;

    InstallationModel *model() const { return window()->installationModel(); }
    InstallationView *view() const { return window()->installationView(); }
    QModelIndex shown(const QModelIndex &source) const
    {
        return view()->proxy()->mapFromSource(source);
    }
    void select(const QModelIndex &source,
                QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect)
    {
        view()->installationSelection()->select(shown(source), flags | QItemSelectionModel::Rows);
    }
    uint installationOf(uint controllerId) const
    {
        return controller(controllerId)->installationId();
    }
    // The controller as found on the network at the HTTP port.
    void makeFound(uint id, uint httpPort)
    {
        std::unique_ptr<Controller> old = document()->removeController(id);
        auto found = std::make_unique<FoundController>(
            std::make_shared<ControllerTemplate>(*old->controllerTemplate()));
        found->setInstallationId(old->installationId());
        found->restoreAddress(u"rig.local"_s, httpPort, 21);
        document()->insertController(std::move(found), id);
    }

    // A general show with two clips, whose media are looked for in a folder.
    QString writeShow()
    {
        ShowFileBytes::General show;
        show.names = {"clip1.bin", "clip2.bin"};
        const QString path = m_builderDir.filePath(u"show.wrn"_s);
        ShowFileBytes::writeFile(path, show.bytes());
        return path;
    }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        m_shell = std::make_unique<GuiShell>(m_app.get());
        m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
        m_controller->setDialogs(std::make_unique<BrowserDialogs>());
        window()->attach(m_controller.get(), m_shell.get());
        window()->show();
    }

    void init()
    {
        m_app->endProject();
        resetApplication();
        m_ids = addControllers(m_show.controllerTemplate(), 2);
        m_app->beginProject(false);
    }

    void enabling_data()
    {
        QTest::addColumn<int>("selected"); // 0 none, then the kind of row
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
    }

    void enabling()
    {
        QFETCH(int, selected);
        QFETCH(QList<int>, enabled);
        const uint id = m_ids[0];
        const QModelIndex rows[] = {QModelIndex(), model()->groupIndex(0),
                                    model()->installationIndex(controller(id)->installationId()),
                                    model()->controllerIndex(id)};
        if (selected < 0)
            m_app->endProject();
        if (selected > 0)
            select(rows[selected]);
        QList<int> actual;
        for (int number = 0; number < A::Action_MAX; ++number) {
            if (action(number)->isVisible() && action(number)->isEnabled())
                actual << number;
        }
        std::sort(enabled.begin(), enabled.end());
        QCOMPARE(actual, enabled);
    }

    // The installation tree.
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
        QTemporaryDir dir;
        const QString path = dir.filePath(u"tree.lmp"_s);
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

    void firstEditMarksTheTitleAndEnablesSave()
    {
        QVERIFY(!window()->isWindowModified());
        QVERIFY(!action(A::Action_Save)->isEnabled());
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"x"_s));
        QVERIFY(window()->isWindowModified());
        QVERIFY(window()->windowTitle().contains("[*]"_L1));
        QVERIFY(action(A::Action_Save)->isEnabled());
    }

    void trayToolTip_data()
    {
        QTest::addColumn<bool>("uploading");
        QTest::addColumn<int>("sent"); // of 200 bytes; -1: no progress known
        QTest::addColumn<bool>("scheduled");
        QTest::addColumn<QString>("expected");
        QTest::newRow("idle") << false << -1 << false << u"No uploads pending"_s;
        QTest::newRow("scheduled") << false << -1 << true << u"Next upload at "_s;
        QTest::newRow("progress unknown")
            << true << -1 << true << u"Uploading to 1 controller(s)"_s;
        QTest::newRow("progress") << true << 50 << false
                                  << u"Uploading to 1 controller(s) - 25% complete"_s;
    }

    void trayToolTip()
    {
        QFETCH(bool, uploading);
        QFETCH(int, sent);
        QFETCH(bool, scheduled);
        QFETCH(QString, expected);
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
        QCOMPARE(action(A::Action_CancelUploadsTray)->isVisible(), uploading);
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
        QTest::addColumn<bool>("uploads");
        QTest::newRow("Continue") << u"Continue"_s << true;
        QTest::newRow("Cancel") << u"Cancel"_s << false;
        QTest::newRow("Escape") << QString() << false;
    }

    void uploadConfirmation()
    {
        QFETCH(QString, button);
        QFETCH(bool, uploads);
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
        QCOMPARE(runs.size(), uploads ? 1 : 0);
        m_app->endProject();
    }

    void minimising_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }

    void minimising()
    {
        QFETCH(bool, tray);
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

    void okFollowsTheControllers()
    {
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QPushButton *ok = child<QPushButton>(&dialog, u"OK"_s);
        QVERIFY(!ok->isEnabled());
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        QVERIFY(ok->isEnabled());
        QCOMPARE(table->selectedRowNumbers(), QList<int>{1});
        QCOMPARE(table->model()->index(1, 0).data().toInt(), 2);
        QVERIFY(child<QPushButton>(&dialog, u"Move controller up"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(&dialog, u"Move controller down"_s)->isEnabled());

        child<QPushButton>(&dialog, u"Move controller up"_s)->click();
        QCOMPARE(table->model()->index(0, 0).data().toInt(), 2);
        QCOMPARE(table->selectedRowNumbers(), QList<int>{0});
        table->selectAll();
        child<QPushButton>(&dialog, u"Delete controllers"_s)->click();
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(!ok->isEnabled());
        QVERIFY(!child<QPushButton>(&dialog, u"Delete controllers"_s)->isEnabled());
    }

    void geometryIsKept()
    {
        QSettings().setValue(u"TemplateDialog/Geometry/Size"_s, QSize(640, 400));
        QSettings().setValue(u"TemplateDialog/Geometry/Splitter"_s, u"120,240"_s);
        {
            InstallationTemplateBuilderDialog dialog(nullptr);
            QCOMPARE(dialog.size(), QSize(640, 400));
            dialog.show();
            dialog.resize(700, 500);
        }
        QCOMPARE(QSettings().value(u"TemplateDialog/Geometry/Size"_s).toSize(), QSize(700, 500));
        const QStringList sizes =
            QSettings().value(u"TemplateDialog/Geometry/Splitter"_s).toString().split(u',');
        QCOMPARE(sizes.size(), 2);
        QVERIFY(sizes.first().toInt() < sizes.last().toInt());
    }

    void editingKeepsTheListOfControllers()
    {
        InstallationTemplate original(u"Foyer"_s);
        for (int i = 0; i < 2; ++i)
            original.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        InstallationTemplateBuilderDialog dialog(&original);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QAbstractItemModel *model = table->model();
        table->selectRow(0);
        for (const QString &name : {u"Add controller"_s, u"Move controller up"_s,
                                    u"Move controller down"_s, u"Delete controllers"_s})
            QVERIFY2(!child<QPushButton>(&dialog, name)->isEnabled(), qPrintable(name));
        QVERIFY(!model->setData(model->index(0, InstallationTemplateModel::Column_Number), 5));
        QVERIFY(!model->setData(model->index(0, InstallationTemplateModel::Column_Type), 3));
        QVERIFY(model->setData(model->index(0, InstallationTemplateModel::Column_Name), u"A"_s));
        QVERIFY(model->setData(model->index(1, InstallationTemplateModel::Column_File), u"/x"_s));
        dialog.findChild<QLineEdit *>()->setText(u"Hall"_s);
        dialog.accept();

        const InstallationTemplatePtr result = dialog.result();
        QCOMPARE(result->name(), u"Hall"_s);
        QCOMPARE(result->controllerTemplates().at(0)->name(), u"A"_s);
        QCOMPARE(result->controllerTemplates().at(1)->showFile(), u"/x"_s);
        QCOMPARE(original.name(), u"Foyer"_s);
        QVERIFY(original.controllerTemplates().at(0)->name().isEmpty());
        QVERIFY(original.controllerTemplates().at(1)->showFile().isEmpty());
    }

    void showFileDialogFollowsTheType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("firstFilter");
        QTest::addColumn<bool>("choose");
        QTest::newRow("KMA, cancelled") << 3 << u"Lumora (*.kma)"_s << false;
        QTest::newRow("second family") << 12 << u"Pavona (*.wrn)"_s << false;
        QTest::newRow("NX, chosen") << 9 << u"Lumora (*.wrn)"_s << true;
    }

    void showFileDialogFollowsTheType()
    {
        QFETCH(int, type);
        QFETCH(QString, firstFilter);
        QFETCH(bool, choose);
        const QString show = writeShow();
        const QString missing = m_builderDir.filePath(u"gone/show.wrn"_s);
        QSettings().remove(u"File/LastShowFile"_s);
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        QAbstractItemModel *model = table->model();
        const QModelIndex file = model->index(0, InstallationTemplateModel::Column_File);
        model->setData(model->index(0, InstallationTemplateModel::Column_Type), type);
        model->setData(file, missing);
        QVERIFY(!file.data(Qt::DecorationRole).isNull());
        QVERIFY(!file.data(Qt::ToolTipRole).toString().isEmpty());

        browse(table, [&](QFileDialog *fileDialog) {
            QVERIFY(fileDialog);
            QCOMPARE(fileDialog->nameFilters().first(), firstFilter);
            if (!choose) {
                fileDialog->reject();
                return;
            }
            fileDialog->setDirectory(m_builderDir.path());
            fileDialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(u"show.wrn"_s);
            QMetaObject::invokeMethod(fileDialog, &QDialog::accept, Qt::QueuedConnection);
        });
        QCOMPARE(file.data().toString(), choose ? show : missing);
        QCOMPARE(QSettings().value(u"File/LastShowFile"_s).toString(),
                 choose ? m_builderDir.path() : QString());
        QCOMPARE(file.data(Qt::DecorationRole).isNull(), choose);
    }

    void mediaFollowTheSelectedControllers()
    {
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QAbstractItemModel *media = dialog.findChild<MediaTemplateTable *>()->model();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        table->model()->setData(table->model()->index(0, InstallationTemplateModel::Column_File),
                                writeShow());
        QCOMPARE(media->rowCount(), 0); // the second controller is selected
        table->selectRow(0);
        QCOMPARE(media->rowCount(), 1); // the media folder

        media->setData(media->index(0, MediaTemplateModel::Column_File), m_builderDir.path());
        QCOMPARE(media->rowCount(), 3);
        const QModelIndex slot = media->index(2, MediaTemplateModel::Column_File);
        QCOMPARE(slot.data().toString(), m_builderDir.filePath(u"clip2.bin"_s));
        QVERIFY(!slot.data(Qt::DecorationRole).isNull()); // no such file

        table->model()->setData(table->model()->index(0, InstallationTemplateModel::Column_File),
                                QString());
        QCOMPARE(media->rowCount(), 0);
    }
    void projectBuiltFromNothing()
    {
        m_app->endProject();
        resetApplication();
        m_app->beginProject(false);
        ModalAnswerer answerer;
        answerer.act(u"New Project Template"_s, buildTemplate(1))
            .act(u"Add Installation"_s, addInstallations(0, 255))
            .act(u"Add Installation"_s,
                 [](QWidget *window) {
                     ModalAnswerer::clickButton(window, u"Create New Project Template"_s);
                 })
            .act(u"New Project Template"_s, buildTemplate(5))
            .act(u"Add Installation"_s, addInstallations(1, 255))
            .answer(u"Add Installation"_s, u"OK"_s); // no room for 1275 controllers
        for (int i = 0; i < 4; ++i)
            m_controller->addInstallation();
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(document()->undoStack()->count(), 3);
        QCOMPARE(document()->undoStack()->command(1)->text(), u"Add Installation"_s);
        QCOMPARE(document()->installations().count(), 255);
        QCOMPARE(document()->groups().count(), 2);
    }

    void refusedRecipientsAreNamedThenDropped()
    {
        MailSettings settings;
        settings.recipients = {u"ops@example.travel"_s, u"ops@example"_s};
        settings.password = PasswordCipher::encode(u"secret"_s);
        document()->setMailSettings(settings);
        EmailSettingsDialog dialog(document());
        auto *list = dialog.findChild<QListWidget *>();
        QVERIFY(list->item(0)->data(Qt::ForegroundRole).isNull());
        QCOMPARE(list->item(1)->foreground().color(), EmailSettingsDialog::warningColour());
        dialog.addRecipient(); // left empty: not an address, dropped silently

        ModalAnswerer answerer;
        answerer.answer(u"Invalid Recipients"_s, u"Cancel"_s);
        dialog.accept();
        QVERIFY(answerer.done());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(document()->undoStack()->count(), 0);

        answerer.answer(u"Invalid Recipients"_s, u"Save"_s);
        dialog.accept();
        QVERIFY(answerer.done());
        QCOMPARE(document()->undoStack()->count(), 1);
        QCOMPARE(document()->mailSettings().recipients, QStringList{u"ops@example.travel"_s});
        QCOMPARE(document()->mailSettings().password, settings.password);

        EmailSettingsDialog unchanged(document());
        unchanged.accept();
        QCOMPARE(document()->undoStack()->count(), 1);
        document()->undoStack()->undo();
        QCOMPARE(document()->mailSettings(), settings);
    }

    void preferencesChangeOnlyWhenAccepted_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("cancelled") << false;
        QTest::newRow("accepted") << true;
    }

    void preferencesChangeOnlyWhenAccepted()
    {
        QFETCH(bool, accepted);
        LumPreferences *preferences = m_app->preferences();
        QList<QVariant> before;
        for (uint key = 0; key <= LumPreferences::Key_NotifyAboutBetaReleases; ++key)
            before << preferences->value(key);
        PreferencesDialog dialog(preferences);
        dialog.findChild<QSpinBox *>()->setValue(0);
        dialog.findChild<QTimeEdit *>()->setTime(QTime(0, 10, 5));
        for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
            box->toggle();
        accepted ? dialog.accept() : dialog.reject();

        if (!accepted) {
            for (uint key = 0; key <= LumPreferences::Key_NotifyAboutBetaReleases; ++key)
                QCOMPARE(preferences->value(key), before.at(key));
            return;
        }
        QCOMPARE(preferences->value(LumPreferences::Key_MaxAttempts).toInt(), 0);
        QCOMPARE(preferences->value(LumPreferences::Key_RetryInterval).toInt(), 605);
        for (uint key = LumPreferences::Key_StopOnFirstFail;
             key <= LumPreferences::Key_NotifyAboutBetaReleases; ++key)
            QCOMPARE(preferences->value(key).toBool(), !before.at(key).toBool());
    }

    void newScheduleTimes()
    {
        SetScheduleDialog dialog({}, QDateTime());
        auto *passed = child<QLabel>(&dialog, u"The time has already passed"_s);
        QPushButton *ok = child<QPushButton>(&dialog, u"OK"_s);
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(child<QRadioButton>(&dialog, u"New time"_s)->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, u"Next occurence"_s)->isChecked());
        QVERIFY(qAbs(now.secsTo(dialog.result()) - 3600) <= 60);
        QVERIFY(ok->isEnabled());

        // Not later than now: tomorrow.
        const QTime thisMinute(now.time().hour(), now.time().minute());
        dialog.findChild<QTimeEdit *>()->setTime(thisMinute);
        QCOMPARE(dialog.result(), QDateTime(now.date().addDays(1), thisMinute));
        QVERIFY(passed->isHidden());

        child<QRadioButton>(&dialog, u"On date"_s)->click();
        dialog.findChild<QDateEdit *>()->setDate(now.date());
        QCOMPARE(dialog.result(), QDateTime(now.date(), thisMinute));
        QVERIFY(!passed->isHidden());
        QVERIFY(ok->isEnabled());
    }

    void existingScheduleTimes()
    {
        const QDateTime first = QDateTime::currentDateTime().addDays(1);
        const QDateTime second = first.addSecs(3600);
        SetScheduleDialog preset({first, second}, second);
        QVERIFY(child<QRadioButton>(&preset, u"Already scheduled"_s)->isChecked());
        QCOMPARE(preset.result(), second);

        SetScheduleDialog unset({first, second}, QDateTime());
        QPushButton *ok = child<QPushButton>(&unset, u"OK"_s);
        QVERIFY(!unset.result().isValid());
        QVERIFY(!ok->isEnabled());
        unset.findChild<QListWidget *>()->setCurrentRow(0);
        QCOMPARE(unset.result(), first);
        QVERIFY(ok->isEnabled());
        QCOMPARE(unset.findChild<QTimeEdit *>()->time().hour(), first.time().hour());
    }

    void everyFieldIsNamed_data()
    {
        using Make = std::function<QDialog *()>;
        QTest::addColumn<Make>("make");
        QTest::newRow("template builder") << Make([] {
            auto *builder = new InstallationTemplateBuilderDialog(nullptr);
            child<QPushButton>(builder, u"Add controller"_s)->click();
            return builder;
        });
        QTest::newRow("add installation")
            << Make([] { return new AddInstallationDialog(document()); });
        QTest::newRow("mail") << Make([] { return new EmailSettingsDialog(document()); });
        QTest::newRow("preferences")
            << Make([this] { return new PreferencesDialog(m_app->preferences()); });
        QTest::newRow("schedule") << Make([] { return new SetScheduleDialog({}, QDateTime()); });
    }

    void everyFieldIsNamed()
    {
        QFETCH(std::function<QDialog *()>, make);
        addControllers(std::make_shared<ControllerTemplate>());
        const std::unique_ptr<QDialog> window(make());
        window->show();
        QCOMPARE(unnamedFields(window.get()).join(u", "), QString());
    }

    // The feed comes over plain HTTP: only a web address is opened.
    void goToWebsiteOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("opens");
        QTest::newRow("http") << u"http://releases.example/rw/2.0"_s << true;
        QTest::newRow("https") << u"https://releases.example/rw/2.0"_s << true;
        QTest::newRow("file") << u"file:///usr/bin/xterm"_s << false;
        QTest::newRow("ftp") << u"ftp://releases.example/rw.deb"_s << false;
        QTest::newRow("script") << u"javascript:alert(1)"_s << false;
    }

    void goToWebsiteOpensOnlyWebAddresses()
    {
        QFETCH(QString, page);
        QFETCH(bool, opens);
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s, u"ftp"_s, u"javascript"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
        const QByteArray feed = u"<releases><release version=\"9.1 BETA2\"><platform os=\"linux\">"
                                "<downloadpage>%1</downloadpage></platform></release></releases>"_s
                                    .arg(page.toHtmlEscaped())
                                    .toUtf8();
        VersionChecker checker(
            QUrl(u"data:text/xml;base64,"_s + QString::fromLatin1(feed.toBase64())));
        QVERIFY(QSignalSpy(&checker, &VersionChecker::releaseDataAvailable).wait());

        m_opened.clear();
        bool offered = false;
        QString unnamed;
        ModalAnswerer answerer;
        answerer.act(u"Software Update"_s, [&](QWidget *window) {
            unnamed = unnamedFields(window).join(u',');
            offered = window->findChildren<QPushButton *>().value(0)->isEnabled();
            ModalAnswerer::clickButton(window, offered ? u"Go To Website"_s : u"Not Now"_s);
        });
        ApplicationDialogs().runSoftwareUpdate(&checker, true, nullptr);

        QVERIFY(answerer.done());
        QCOMPARE(unnamed, QString());
        QCOMPARE(offered, opens);
        QCOMPARE(m_opened, opens ? QList<QUrl>{QUrl(page)} : QList<QUrl>{});
    }

    // Every icon of the map is baked at the size its folder names, and our
    // own artwork is there.
    void everyResourceTheApplicationNamesExists()
    {
        QFile map(TestEnvironment::sourceDir() + u"/src/resources/icons.map"_s);
        QVERIFY(map.open(QIODevice::ReadOnly | QIODevice::Text));
        int icons = 0;
        while (!map.atEnd()) {
            const QString name = QString::fromUtf8(map.readLine()).section(QLatin1Char(' '), 0, 0);
            if (!name.startsWith(QLatin1String("icons/")))
                continue;
            const int side =
                name.section(QLatin1Char('/'), 1, 1).section(QLatin1Char('x'), 0, 0).toInt();
            QCOMPARE(QImage(QLatin1String(":/") + name).size(), QSize(side, side));
            ++icons;
        }
        QVERIFY(icons > 30);
        QCOMPARE(QImage(u":/icons/22x22/tray_icon.png"_s).size(), QSize(22, 22));
        QVERIFY(!QImage(u":/splash.png"_s).isNull());
        QVERIFY(!QImage(u":/launch_header.png"_s).isNull());
    }

    void splashStaysUntilHiddenOrTimesOut()
    {
        GuiShell &shell = *m_shell;
        shell.showSplashScreen();
        QVERIFY(shell.splashScreen()->isVisible());
        QTest::qWait(100);
        QVERIFY(shell.splashScreen()->isVisible());
        shell.hideSplashScreen();
        QVERIFY(!shell.splashScreen()->isVisible());

        QSplashScreen *first = shell.splashScreen();
        shell.showSplashScreen(50);
        QCOMPARE(shell.splashScreen(), first); // built once, reused
        QTRY_VERIFY(!shell.splashScreen()->isVisible());
    }

    void cleanupTestCase()
    {
        m_app->endProject();
        MainWindow::destroyInstance();
        m_controller.reset();
        m_shell.reset();
        m_app.reset();
    }
};

RW_TEST_GUI_MAIN(TestMainWindow)
#include "tst_main_window.moc"
