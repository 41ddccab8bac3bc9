// rigwarden-cli: the headless shell over the same core as the GUI.

#include "app_constants.h"
#include "cli/cli_command.h"
#include "local_interfaces.h"
#include "lum_application.h"

#include <QCoreApplication>

#include <csignal>
#include <cstring>
#include <memory>

namespace {

QString usage()
{
    QString text = QStringLiteral("Usage: rigwarden-cli COMMAND [ARGUMENTS]\n"
                                  "       rigwarden-cli --help | --version\n\n"
                                  "The headless shell of %1.\n")
                       .arg(AppConstants::displayName());
    const QList<CliCommand> commands = Cli::commands();
    if (!commands.isEmpty()) {
        text += QStringLiteral("\nCommands:\n");
        for (const CliCommand &command : commands) {
            text +=
                QStringLiteral("  rigwarden-cli %1\n      %2\n")
                    .arg(QString::fromUtf8(command.synopsis), QString::fromUtf8(command.summary));
        }
    }
    text += QStringLiteral("\nOptions:\n"
                           "  --help     show this text and exit\n"
                           "  --version  print the version and exit\n");
    return text;
}

int runCommand(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        Cli::error(QStringLiteral("no command given; see rigwarden-cli --help"));
        return Cli::ExitUsage;
    }
    const QString first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        Cli::print(usage());
        return 0;
    }
    if (first == QLatin1String("--version")) {
        Cli::print(AppConstants::versionText() + QLatin1Char('\n'));
        return 0;
    }
    const QList<CliCommand> commands = Cli::commands();
    for (const CliCommand &command : commands) {
        if (first != QLatin1String(command.name))
            continue;
        const QString second = arguments.value(1);
        if (second == QLatin1String("--help") || second == QLatin1String("-h")) {
            Cli::print(
                QStringLiteral("Usage: rigwarden-cli %1\n    %2\n")
                    .arg(QString::fromUtf8(command.synopsis), QString::fromUtf8(command.summary)));
            return 0;
        }
        return command.run(arguments.mid(1));
    }
    Cli::error(QStringLiteral("unknown command \"%1\"; see rigwarden-cli --help").arg(first));
    return Cli::ExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qtApp(argc, argv);
    std::unique_ptr<LumApplication> app(LumApplication::create());
    LocalInterfaces::initialise();
    int exitCode = runCommand(QCoreApplication::arguments().mid(1));
    // A report or export cut short is no success, whatever the command did.
    if (const int error = Cli::outputError(); error != 0 && exitCode == 0) {
        Cli::error(QStringLiteral("cannot write the output: %1; check the disk or the file it "
                                  "goes to")
                       .arg(QString::fromLocal8Bit(std::strerror(error))));
        exitCode = 1;
    }
    // Converted media and workers go first.
    app.reset();
    if (const int signalNumber = Cli::interruptingSignal()) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    return exitCode;
}
