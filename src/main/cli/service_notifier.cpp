#include "service_notifier.h"

#include <cstddef>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

bool ServiceNotifier::notify(const QByteArray &state)
{
    const QByteArray address = qgetenv("NOTIFY_SOCKET");
    sockaddr_un target{};
    target.sun_family = AF_UNIX;
    if (address.size() < 2 || size_t(address.size()) >= sizeof(target.sun_path) ||
        (address.front() != '/' && address.front() != '@'))
        return false;
    std::memcpy(target.sun_path, address.constData(), size_t(address.size()));
    // An abstract name starts with a zero byte and is as long as given; a
    // path ends with one.
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(address.size()));
    if (address.front() == '@')
        target.sun_path[0] = '\0';
    else
        ++length;

    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const ssize_t sent = ::sendto(socket, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr *>(&target), length);
    ::close(socket);
    return sent == state.size();
}
