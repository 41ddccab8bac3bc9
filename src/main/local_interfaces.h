#pragma once

#include <QHostAddress>
#include <QList>

// The machine's local IPv4 addresses, read once at start-up. The mail client
// names this host in its greeting with the first of them.
class LocalInterfaces
{
public:
    // Reads the interfaces that are up and not loopback; later calls keep the
    // first reading.
    static void initialise();
    static QList<QHostAddress> addresses();
    // The first address, "0.0.0.0" when there is none.
    static QString firstAddress();
};
