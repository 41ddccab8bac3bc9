// Uploads one file with FtpClient, for run_network_bench.py:
//   ftp_upload_bench HOST PORT USER PASSWORD FILE REMOTE_NAME
// Prints the seconds the STOR took; exit 1 when anything failed.

#include "ftp_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 7) {
        std::fprintf(stderr, "usage: ftp_upload_bench HOST PORT USER PASSWORD FILE REMOTE_NAME\n");
        return 2;
    }
    QFile file(arguments.at(5));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(arguments.at(5)));
        return 1;
    }
    FtpClient client;
    QElapsedTimer timer;
    int putId = -1;
    bool failed = false;
    QObject::connect(&client, &FtpClient::commandStarted, [&](int id) {
        if (id == putId)
            timer.start();
    });
    QObject::connect(&client, &FtpClient::commandFinished, [&](int id, bool error) {
        if (error) {
            failed = true;
            std::fprintf(stderr, "command %d failed: %s\n", id, qPrintable(client.errorString()));
        }
        if (id == putId && !error)
            std::printf("%.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
    });
    QObject::connect(&client, &FtpClient::done, &application, &QCoreApplication::quit);
    client.connectToHost(arguments.at(1), static_cast<quint16>(arguments.at(2).toUInt()));
    client.rawCommand(QStringLiteral("USER ") + arguments.at(3));
    client.rawCommand(QStringLiteral("PASS ") + arguments.at(4));
    putId = client.put(&file, arguments.at(6));
    client.close();
    QCoreApplication::exec();
    return failed ? 1 : 0;
}
