#include "project_opening.h"

#include "cli_command.h"
#include "lum_application.h"
#include "lum_document.h"
#include "password_cipher.h"
#include "project_arguments.h"
#include "upload_slots.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace ProjectOpening {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectOpening", text);
}

// Whether the operator knows the project's master password.
bool masterPasswordGiven(const QString &path, const LumDocument &document)
{
    QString typed;
    if (::isatty(STDIN_FILENO)) {
        typed = readFromTerminal(tr("Master password of %1: ").arg(path));
    } else if (qEnvironmentVariableIsSet("RIGWARDEN_MASTER_PASSWORD")) {
        typed = qEnvironmentVariable("RIGWARDEN_MASTER_PASSWORD");
    } else {
        Cli::error(tr("%1 is protected by a master password; give it in "
                      "RIGWARDEN_MASTER_PASSWORD")
                       .arg(path));
        return false;
    }
    if (PasswordCipher::encode(typed) == document.masterPassword())
        return true;
    Cli::error(tr("wrong master password for %1").arg(path));
    return false;
}

// The terminal as it was before the prompt, for a signal to put back.
termios terminalBeforePrompt{};

// Ctrl-C (or a hang-up) at the prompt would end the process with echo still
// off, leaving the operator's shell typing blind.
void restoreTerminalAndEnd(int signalNumber)
{
    ::tcsetattr(STDIN_FILENO, TCSANOW, &terminalBeforePrompt);
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, "\n", 1);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

constexpr int PromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

} // namespace

QString readFromTerminal(const QString &prompt)
{
    if (!::isatty(STDIN_FILENO))
        return QString();
    // Echo goes off before the prompt shows, so nothing typed after it is
    // ever echoed; what was typed ahead is kept.
    termios saved{};
    const bool canHide = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    struct sigaction previous[std::size(PromptSignals)] = {};
    if (canHide) {
        terminalBeforePrompt = saved;
        struct sigaction restoring = {};
        restoring.sa_handler = restoreTerminalAndEnd;
        sigemptyset(&restoring.sa_mask);
        for (size_t i = 0; i < std::size(PromptSignals); ++i)
            ::sigaction(PromptSignals[i], &restoring, &previous[i]);
        termios hidden = saved;
        hidden.c_lflag &= tcflag_t(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &hidden);
    }
    std::fputs(qUtf8Printable(prompt), stderr);
    std::fflush(stderr);
    std::string line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line.push_back(char(c));
    if (canHide) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        for (size_t i = 0; i < std::size(PromptSignals); ++i)
            ::sigaction(PromptSignals[i], &previous[i], nullptr);
    }
    std::fputc('\n', stderr);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

int open(const QString &path, LumDocument &document, bool reanalyseShowFiles)
{
    QString reason;
    if (!document.load(path, &reason)) {
        Cli::error(tr("cannot open %1: %2").arg(path, reason));
        return Cli::ExitUsage;
    }
    if (!document.masterPassword().isEmpty() && !masterPasswordGiven(path, document)) {
        document.reset();
        return Cli::ExitUsage;
    }
    if (reanalyseShowFiles)
        document.reanalyseChangedShowFiles();
    return 0;
}

int openForUpload(const ProjectArguments &arguments)
{
    LumApplication *application = LumApplication::instance();
    LumApplication::setLogLevel(arguments.logLevel);
    application->createMediaTranscoder();
    if (arguments.parallel >= 0)
        UploadSlots::instance()->setLimitOverride(arguments.parallel);
    return open(arguments.project, *application->document(), true);
}

} // namespace ProjectOpening
