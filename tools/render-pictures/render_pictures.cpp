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
#include "lum_application.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "recent_files.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// What every picture may use: the application with its desktop side, the
// projects given, the recent files already holding them.
struct Stage
{
    LumApplication *app;
    DesktopController *controller;
    QStringList projects;
};

std::unique_ptr<QWidget> launchDialog(Stage &stage)
{
    auto dialog = std::make_unique<LumLaunchDialog>(stage.controller->recentFiles());
    dialog->show();
    return dialog;
}

struct Picture
{
    const char *file;
    std::function<std::unique_ptr<QWidget>(Stage &)> window;
};

const Picture pictures[] = {
    {"launch-dialog.png", launchDialog},
};

bool render(const Picture &picture, Stage &stage, const QDir &out)
{
    const std::unique_ptr<QWidget> window = picture.window(stage);
    if (!window || !QTest::qWaitForWindowExposed(window.get()))
        return false;
    // Layouts and the icons settle in the next rounds of the event loop.
    QTest::qWait(200);
    const QString path = out.filePath(QString::fromLatin1(picture.file));
    if (!window->grab().save(path))
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
    GuiShell shell(app.get());
    DesktopController controller(app.get(), &shell);
    Stage stage{app.get(), &controller, arguments.mid(1)};
    for (const QString &project : std::as_const(stage.projects))
        controller.recentFiles()->add(project);

    int failed = 0;
    for (const Picture &picture : pictures) {
        if (!render(picture, stage, out)) {
            std::fprintf(stderr, "rw-render-pictures: %s could not be rendered\n", picture.file);
            ++failed;
        }
    }
    MainWindow::destroyInstance();
    return failed == 0 ? 0 : 1;
}
