// The application, the shell, the desktop controller and the shown main window
// over a project of two controllers, rebuilt before each test, with dialogs
// that answer from a script.

#pragma once

#include "accessible_names.h"
#include "action_manager.h"
#include "add_installation_dialog.h"
#include "application_dialogs.h"
#include "desktop_controller.h"
#include "email_settings_dialog.h"
#include "file_path_editor.h"
#include "gui_shell.h"
#include "installation_model.h"
#include "installation_selection_model.h"
#include "installation_sort_proxy.h"
#include "installation_template_builder_dialog.h"
#include "installation_template_model.h"
#include "installation_template_table.h"
#include "installation_view.h"
#include "launch_dialog_handler.h"
#include "link_fixture.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "media_template_model.h"
#include "media_template_table.h"
#include "modal_answerer.h"
#include "preferences_dialog.h"
#include "recent_files.h"
#include "set_installation_group_name_command.h"
#include "set_schedule_dialog.h"
#include "test_main.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::Literals::StringLiterals;
using A = ActionManager;

// The application's dialogs, but for the launch dialog (counted), the software
// update and a label in place of a controller's web pages; the template
// builder and the schedule answer from the script once it is set.
class ScriptedDialogs : public ApplicationDialogs
{
public:
    InstallationTemplatePtr nextTemplate;
    std::optional<QDateTime> nextTime;
    int launchDialogs = 0;

    InstallationTemplatePtr buildTemplate(const InstallationTemplate *editing,
                                          QWidget *parent) override
    {
        return nextTemplate ? std::exchange(nextTemplate, nullptr)
                            : ApplicationDialogs::buildTemplate(editing, parent);
    }
    std::optional<QDateTime> chooseScheduleTime(const QDateTime &, QWidget *) override
    {
        return nextTime;
    }
    void runLaunchDialog(DesktopController *, RecentFiles *, QWidget *) override
    {
        ++launchDialogs;
    }
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

// Types the path into the file dialog and accepts it. selectFile() leaves
// the name alone once the name field has the focus.
inline std::function<void(QWidget *)> chooseFile(const QString &path)
{
    return [path](QWidget *window) {
        auto *dialog = qobject_cast<QFileDialog *>(window);
        auto *name = window->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(dialog && name);
        dialog->setDirectory(QFileInfo(path).path());
        name->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    };
}

class DesktopScene : public QObject
{
    Q_OBJECT

protected:
    QTemporaryDir m_dir;
    std::unique_ptr<LumApplication> m_app;
    std::unique_ptr<GuiShell> m_shell;
    std::unique_ptr<DesktopController> m_controller;
    ScriptedDialogs *m_dialogs = nullptr;
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
        const QString path = m_dir.filePath(u"show.wrn"_s);
        ShowFileBytes::writeFile(path, show.bytes());
        return path;
    }

    // A new project of one group with `count` installations, saved to a file
    // and then modified, unless no path is given.
    QList<uint> openModifiedProject(const QString &name = QStringLiteral("p.lmp"), int count = 1)
    {
        m_app->endProject();
        const QList<uint> ids = addControllers(m_show.controllerTemplate(), count);
        m_app->beginProject(false);
        if (!name.isEmpty())
            document()->saveAs(m_dir.filePath(name));
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, QStringLiteral("x")));
        return ids;
    }

protected slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        m_shell = std::make_unique<GuiShell>(m_app.get());
        m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
        window()->attach(m_controller.get(), m_shell.get());
        window()->show();
    }

    void init()
    {
        m_app->endProject();
        resetApplication();
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_controller->setDialogs(std::move(dialogs));
        m_ids = addControllers(m_show.controllerTemplate(), 2);
        m_app->beginProject(false);
        QCoreApplication::sendPostedEvents(); // a launch dialog asked for by the last test
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
