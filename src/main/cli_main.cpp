// rigwarden-cli: the headless shell over the same core as the GUI.

#include "app_constants.h"
#include "cli/cli_command.h"
#include "local_interfaces.h"
#include "lum_application.h"

#include <QCoreApplication>

#include <csignal>
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
        if (first == QLatin1String(command.name))
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
    const int exitCode = runCommand(QCoreApplication::arguments().mid(1));
    // Converted media and workers go first.
    app.reset();
    if (const int signalNumber = Cli::interruptingSignal()) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    return exitCode;
}
