#pragma once

#include "sim_controller_config.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// The command line of rigwarden-sim.
struct SimOptions
{
    static constexpr int MaximumControllers = 1024;

    int count = 1;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 basePort = 0; // 0: free ports chosen by the system
    QString root;         // empty: a temporary folder, removed at the end
    QString portsFile;
    bool json = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    QList<SimControllerConfig> controllers;

    // Reads the arguments (without the program name); false with a reason.
    bool parse(const QStringList &arguments, QString *error);
    static QString helpText();

private:
    bool applyFaultOption(const QString &option, QString *error);
};
