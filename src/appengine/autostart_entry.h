#pragma once

#include <QString>

// The per-user list of programs started with the desktop session: the XDG
// autostart entry "$XDG_CONFIG_HOME/autostart/rigwarden.desktop".
class AutostartEntry
{
public:
    static QString path();
    // Whether the entry exists, whoever wrote it.
    static bool exists();
    // Writes the entry so that the session starts `executable` with `arguments`.
    static bool write(const QString &executable, const QString &arguments);
    static bool remove();
    // The Exec value for an executable path: quoted where the Desktop Entry
    // rules require it, percent signs doubled.
    static QString execValue(const QString &executable, const QString &arguments);
};
