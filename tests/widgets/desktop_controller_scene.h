// The application, the shell and a desktop controller rebuilt before each
// test, whose dialogs answer from a script.

#pragma once

#include "accessible_names.h"
#include "application_dialogs.h"
#include "desktop_controller.h"
#include "desktop_selection.h"
#include "gui_shell.h"
#include "launch_dialog_handler.h"
#include "link_fixture.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "modal_answerer.h"
#include "recent_files.h"
#include "set_installation_group_name_command.h"
#include "test_main.h"

#include <QActionGroup>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::Literals::StringLiterals;

// The application's dialogs, but for the template builder, the schedule, the
// launch dialog and the software update, which answer from a script.
class ScriptedDialogs : public ApplicationDialogs
{
public:
    InstallationTemplatePtr nextTemplate;
    std::optional<QDateTime> nextTime;
    int launchDialogs = 0;

    InstallationTemplatePtr buildTemplate(const InstallationTemplate *, QWidget *) override
    {
        return std::exchange(nextTemplate, nullptr);
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
};

struct FixedSelection : DesktopSelection
{
    IdSet groups;
    IdSet selectedGroups() const override { return groups; }
    IdSet selectedInstallations() const override { return {}; }
    IdSet selectedControllers() const override { return {}; }
};

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

class DesktopControllerScene : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<LumApplication> m_app;
    std::unique_ptr<GuiShell> m_shell;
    std::unique_ptr<DesktopController> m_controller;
    ScriptedDialogs *m_dialogs = nullptr;
    FixedSelection m_selection;
    QTemporaryDir m_dir;
    ShowFolder m_show;

    // A new project of one group with `count` installations, saved to a file
    // and then modified, unless no path is given.
    QList<uint> openModifiedProject(const QString &name = QStringLiteral("p.lmp"), int count = 1)
    {
        m_app->endProject();
        m_controller->newDocument();
        const QList<uint> ids = addControllers(m_show.controllerTemplate(), count);
        if (!name.isEmpty())
            document()->saveAs(m_dir.filePath(name));
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, QStringLiteral("x")));
        return ids;
    }

    bool uploadUnderWay(uint controllerId)
    {
        return waitUntil([&] { return !document()->allIdle({controllerId}); });
    }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        m_shell = std::make_unique<GuiShell>(m_app.get());
        MainWindow::instance()->show();
    }

    void init()
    {
        m_app->endProject();
        resetApplication();
        m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_controller->setDialogs(std::move(dialogs));
        m_controller->setSelection(&m_selection);
        connect(MainWindow::instance(), &MainWindow::quitRequested, m_controller.get(),
                &DesktopController::quit);
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(); // a launch dialog asked for goes with it
    }

    void cleanupTestCase()
    {
        m_controller.reset();
        MainWindow::destroyInstance();
        m_shell.reset();
        m_app.reset();
    }
};
