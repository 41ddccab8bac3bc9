#pragma once

#include <QByteArray>

// Tells the service manager how the process stands (systemd's notification
// protocol: "READY=1", "STOPPING=1", "STATUS=..."), one datagram to the
// socket named by $NOTIFY_SOCKET: a path, or an abstract name written with
// a leading '@'. Without that variable, as outside a service, it does nothing.
class ServiceNotifier
{
public:
    // Whether the whole state reached the socket.
    static bool notify(const QByteArray &state);
};
