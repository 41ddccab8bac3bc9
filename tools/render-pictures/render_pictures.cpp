// Renders the application's windows offscreen into PNG files, the pictures
// of the README, so that they change with the windows.
//
//     rw-render-pictures OUT_DIR PROJECT.lmp...
//
// The projects are the recent files, the last named the most recent. Each
// picture is one function below that sets up its window and hands it back
// shown; adding a picture is adding such a function to `pictures`.

#include "desktop_controller.h"
#include "gui_shell.h"
#include "installation_group.h"
#include "installation_template_builder_dialog.h"
#include "installation_template_table.h"
#include "installation_view.h"
#include "lum_application.h"
#include "lum_document.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "recent_files.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// What every picture may use: the application with its desktop side, the
// projects given (the last one opens for the pictures that need a project),
// the recent files already holding them, and the windows made so far.
struct Stage
{
    LumApplication *app;
    DesktopController *controller;
    QStringList projects;
    std::vector<std::unique_ptr<QWidget>> windows;

    QWidget *keep(std::unique_ptr<QWidget> window)
    {
        window->show();
        windows.push_back(std::move(window));
        return windows.back().get();
    }
    bool openProject()
    {
        return app->isDocumentOpen() || controller->openDocument(projects.last());
    }
};

QWidget *launchDialog(Stage &stage)
{
    return stage.keep(std::make_unique<LumLaunchDialog>(stage.controller->recentFiles()));
}

// The first group's template, as the operator edits it.
QWidget *templateBuilder(Stage &stage)
{
    if (!stage.openProject() || stage.app->document()->groups().isEmpty())
        return nullptr;
    const InstallationGroup *group = *stage.app->document()->groups().begin();
    QWidget *dialog = stage.keep(
        std::make_unique<InstallationTemplateBuilderDialog>(group->installationTemplate().get()));
    // The first controller chosen, so that its media show below.
    if (auto *controllers = dialog->findChild<InstallationTemplateTable *>())
        controllers->selectRow(0);
    return dialog;
}

// The main window as every controller of the project starts its upload.
QWidget *mainWindowUploading(Stage &stage)
{
    if (!stage.openProject())
        return nullptr;
    MainWindow *window = MainWindow::instance();
    window->resize(1100, 640);
    window->show();
    IdSet all;
    for (const Controller *controller : stage.app->document()->controllers())
        all.insert(controller->getId());
    if (all.empty())
        return nullptr;
    window->installationView()->expandAll();
    stage.controller->upload(all, true);
    return window;
}

struct Picture
{
    const char *file;
    std::function<QWidget *(Stage &)> window;
};

const Picture pictures[] = {
    {"launch-dialog.png", launchDialog},
    {"template-builder.png", templateBuilder},
    {"main-window.png", mainWindowUploading},
};

bool render(const Picture &picture, Stage &stage, const QDir &out)
{
    QWidget *window = picture.window(stage);
    if (!window || !QTest::qWaitForWindowExposed(window))
        return false;
    // Layouts and the icons settle in the next rounds of the event loop.
    QTest::qWait(200);
    const QString path = out.filePath(QString::fromLatin1(picture.file));
    const bool saved = window->grab().save(path);
    window->hide();
    if (!saved)
        return false;
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "Usage: rw-render-pictures OUT_DIR PROJECT.lmp...\n");
        return 2;
    }
    const QDir out(arguments.first());
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "rw-render-pictures: cannot make the folder %s\n",
                     qPrintable(arguments.first()));
        return 1;
    }

    std::unique_ptr<LumApplication> app(LumApplication::create());
    app->createMediaTranscoder();
    GuiShell shell(app.get());
    DesktopController controller(app.get(), &shell);
    MainWindow::instance()->attach(&controller, &shell);
    Stage stage{app.get(), &controller, arguments.mid(1), {}};
    for (const QString &project : std::as_const(stage.projects))
        controller.recentFiles()->add(project);

    // A question nobody is there to answer would hang the rendering: it is
    // named and refused, and the pictures go on.
    QTimer unexpectedDialogs;
    QObject::connect(&unexpectedDialogs, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            std::fprintf(stderr, "rw-render-pictures: refused the dialog \"%s\"\n",
                         qPrintable(modal->windowTitle()));
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    unexpectedDialogs.start(1000);

    int failed = 0;
    for (const Picture &picture : pictures) {
        if (!render(picture, stage, out)) {
            std::fprintf(stderr, "rw-render-pictures: %s could not be rendered\n", picture.file);
            ++failed;
        }
    }
    stage.windows.clear();
    // The uploads under way end as cancelled with the project.
    if (app->isDocumentOpen())
        app->endProject();
    MainWindow::destroyInstance();
    return failed == 0 ? 0 : 1;
}
