#pragma once

#include <QString>

// The per-user folder for sockets and locks ($XDG_RUNTIME_DIR), created on
// first use when the system did not provide one.
class RuntimeDir
{
public:
    static QString path();
};
