// rigwarden-sim: simulated show controllers for tests and rehearsals.

#include "controller_simulator.h"
#include "sim_options.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Ctrl+C, SIGTERM and SIGHUP (its terminal closed) end the event loop, so
// that the temporary root is removed.
void quitOnSignals(QCoreApplication *application)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, application);
    QObject::connect(notifier, &QSocketNotifier::activated, application, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

void printOut(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    SimOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments().mid(1), &error)) {
        std::fprintf(stderr, "rigwarden-sim: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        printOut(SimOptions::helpText().toUtf8());
        return 0;
    }
    if (options.version) {
        printOut(QByteArrayLiteral(RW_VERSION_TEXT "\n"));
        return 0;
    }

    const qint64 fileLimit = ControllerSimulator::raiseFileLimit();
    if (fileLimit >= 0 && fileLimit < 2 * options.count + 64) {
        std::fprintf(stderr,
                     "rigwarden-sim: %d controllers need more than %lld open files; "
                     "raise the limit (ulimit -n) or simulate fewer\n",
                     options.count, static_cast<long long>(fileLimit));
        return 1;
    }

    ControllerSimulator simulator;
    if (!simulator.start(options, &error)) {
        std::fprintf(stderr, "rigwarden-sim: %s\n", qPrintable(error));
        return 1;
    }
    const QByteArray json = simulator.listing().toJson(QJsonDocument::Compact) + '\n';
    if (!options.portsFile.isEmpty()) {
        QSaveFile file(options.portsFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
            std::fprintf(stderr, "rigwarden-sim: cannot write %s\n", qPrintable(options.portsFile));
            return 1;
        }
    }
    printOut(options.json ? json : simulator.listingText().toUtf8());
    quitOnSignals(&application);
    return QCoreApplication::exec();
}
