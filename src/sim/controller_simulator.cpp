#include "controller_simulator.h"

#include "simulated_controller.h"
#include "types.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <sys/resource.h>

ControllerSimulator::ControllerSimulator(QObject *parent) : QObject(parent)
{}

ControllerSimulator::~ControllerSimulator()
{
    // The controllers' sessions may hold files in the temporary root.
    qDeleteAll(m_controllers);
    m_controllers.clear();
}

qint64 ControllerSimulator::raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<qint64>(limit.rlim_cur);
}

bool ControllerSimulator::start(const SimOptions &options, QString *error)
{
    m_address = options.address;
    if (options.root.isEmpty()) {
        m_temporaryRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                          QStringLiteral("/rigwarden-sim-XXXXXX"));
        if (!m_temporaryRoot->isValid()) {
            *error = QStringLiteral("cannot create a temporary folder");
            return false;
        }
        m_root = m_temporaryRoot->path();
    } else {
        m_root = QDir(options.root).absolutePath();
    }
    for (int index = 0; index < options.controllers.size(); ++index) {
        const QString folder =
            QStringLiteral("%1/controller-%2").arg(m_root).arg(index, 4, 10, QLatin1Char('0'));
        auto *controller =
            new SimulatedController(index, options.controllers.at(index), folder, this);
        controller->setVerbose(options.verbose);
        m_controllers.append(controller);
        const quint16 http = options.basePort == 0 ? 0 : options.basePort + 2 * index;
        const quint16 ftp = options.basePort == 0 ? 0 : options.basePort + 2 * index + 1;
        if (!controller->listen(options.address, http, ftp, error))
            return false;
    }
    return true;
}

QJsonDocument ControllerSimulator::listing() const
{
    QJsonArray controllers;
    for (const SimulatedController *controller : m_controllers) {
        QJsonObject entry;
        entry.insert(QStringLiteral("index"), controller->index());
        entry.insert(QStringLiteral("http"), controller->httpPort());
        entry.insert(QStringLiteral("ftp"), controller->ftpPort());
        entry.insert(QStringLiteral("hardwareType"), controller->config().hardwareType);
        entry.insert(QStringLiteral("serialNumber"), controller->serialNumber());
        entry.insert(QStringLiteral("folder"), controller->folder());
        controllers.append(entry);
    }
    QJsonObject root;
    root.insert(QStringLiteral("address"), m_address.toString());
    root.insert(QStringLiteral("root"), m_root);
    root.insert(QStringLiteral("controllers"), controllers);
    return QJsonDocument(root);
}

QString ControllerSimulator::listingText() const
{
    QString text;
    for (const SimulatedController *controller : m_controllers) {
        text += QStringLiteral("controller %1: http %2:%3  ftp %2:%4  %5 %6  %7\n")
                    .arg(controller->index())
                    .arg(m_address.toString())
                    .arg(controller->httpPort())
                    .arg(controller->ftpPort())
                    .arg(HardwareType::name(controller->config().hardwareType),
                         controller->serialNumber(), controller->folder());
    }
    return text;
}
