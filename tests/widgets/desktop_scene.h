// The application, the shell, the desktop controller and the shown main window
// over a project of two controllers, rebuilt before each test.

#pragma once

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

inline MainWindow *window()
{
    return MainWindow::instance();
}

inline QAction *action(int number)
{
    return window()->actions()->action(number);
}

template <typename Widget>
inline Widget *child(QWidget *window, const QString &text)
{
    for (Widget *widget : window->findChildren<Widget *>()) {
        if (widget->accessibleName() == text || widget->text().remove(u'&') == text)
            return widget;
    }
    return nullptr;
}

// Fills in the template builder: `controllers` new controllers, then OK.
inline std::function<void(QWidget *)> buildTemplate(int controllers)
{
    return [controllers](QWidget *window) {
        for (int i = 0; i < controllers; ++i)
            child<QPushButton>(window, u"Add controller"_s)->click();
        ModalAnswerer::clickButton(window, u"OK"_s);
    };
}

// Picks the group in the given row and the number of installations, then OK.
inline std::function<void(QWidget *)> addInstallations(int row, int count)
{
    return [row, count](QWidget *window) {
        window->findChild<QListWidget *>()->setCurrentRow(row);
        window->findChild<QSpinBox *>()->setValue(count);
        ModalAnswerer::clickButton(window, u"OK"_s);
    };
}
// Opens the file dialog of the current row's file cell; `answer` handles it.
inline void browse(QWidget *table, const std::function<void(QFileDialog *)> &answer)
{
    auto *editor = table->findChild<FilePathEditor *>();
    QVERIFY(editor);
    ModalAnswerer answerer;
    answerer.act(u"Select an file"_s,
                 [&](QWidget *window) { answer(qobject_cast<QFileDialog *>(window)); });
    editor->findChild<QPushButton *>()->click();
    QVERIFY(answerer.done());
}

class DesktopScene : public QObject
{
    Q_OBJECT

protected:
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
    void initTestCase();
    void init();
    void cleanupTestCase();
};
