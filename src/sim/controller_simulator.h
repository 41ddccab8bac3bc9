#pragma once

#include "sim_options.h"

#include <QJsonDocument>
#include <QList>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

class SimulatedController;

// The simulated controllers of one process, all on one address, each in a
// folder of its own under one root.
class ControllerSimulator : public QObject
{
    Q_OBJECT

public:
    explicit ControllerSimulator(QObject *parent = nullptr);
    ~ControllerSimulator() override;

    // Creates the controllers and makes them listen; false with a reason.
    bool start(const SimOptions &options, QString *error);

    const QList<SimulatedController *> &controllers() const { return m_controllers; }
    QString root() const { return m_root; }
    // Address, root and, per controller, index, ports, type and folder.
    QJsonDocument listing() const;
    QString listingText() const;

    // Lifts the soft limit of open files to the hard one: each controller
    // holds two listening sockets. Returns the limit now in force.
    static qint64 raiseFileLimit();

private:
    QList<SimulatedController *> m_controllers;
    std::unique_ptr<QTemporaryDir> m_temporaryRoot;
    QString m_root;
    QHostAddress m_address;
};
