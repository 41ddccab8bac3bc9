#include "local_interfaces.h"

#include <QNetworkInterface>

namespace {
QList<QHostAddress> &storedAddresses()
{
    static QList<QHostAddress> addresses;
    return addresses;
}

bool &initialised()
{
    static bool done = false;
    return done;
}

QList<QHostAddress> readAddresses()
{
    QList<QHostAddress> found;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback())
                found.append(ip);
        }
    }
    return found;
}
} // namespace

void LocalInterfaces::initialise()
{
    if (initialised())
        return;
    storedAddresses() = readAddresses();
    initialised() = true;
}

QList<QHostAddress> LocalInterfaces::addresses()
{
    initialise();
    return storedAddresses();
}

QString LocalInterfaces::firstAddress()
{
    const QList<QHostAddress> list = addresses();
    return list.isEmpty() ? QStringLiteral("0.0.0.0") : list.first().toString();
}
