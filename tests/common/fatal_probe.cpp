#include "fatal_probe.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

FatalOutcome runExpectingFatal(const std::function<void()> &code)
{
    FatalOutcome outcome;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return outcome;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        // The child dies in the fatal path or leaves at once, without the
        // parent's exit work or the test runner's crash handler (which would
        // spend a second on a stack trace of an abort that is expected).
        std::signal(SIGABRT, SIG_DFL);
        code();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    outcome.stderrText = QString::fromUtf8(text);
    return outcome;
}
