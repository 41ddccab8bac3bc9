// rigwarden-crash-message: tells the user where the dump of a crash was
// saved. The crash handler of a crashed rigwarden starts it with the dump's
// path, since the crashed process cannot run a window of its own.

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("Usage: rigwarden-crash-message DUMP_PATH\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QMessageBox box(
        QMessageBox::NoIcon, QCoreApplication::translate("CrashMessage", "Application Error"),
        QCoreApplication::translate("CrashMessage", "The application has encountered an error.\n\n"
                                                    "Saved crash dump file to\n'%1'")
            .arg(QFile::decodeName(argv[1])),
        QMessageBox::Ok);
    // Tests have no user: the box prints what it shows and is answered with OK.
    if (qEnvironmentVariableIsSet("RW_CRASH_MESSAGE_ANSWER")) {
        QTimer::singleShot(0, &box, [&box] {
            std::printf("%s\n%s\n", qPrintable(box.windowTitle()), qPrintable(box.text()));
            std::fflush(stdout);
            box.button(QMessageBox::Ok)->click();
        });
    }
    box.exec();
    return 0;
}
