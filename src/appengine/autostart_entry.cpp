#include "autostart_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

QString AutostartEntry::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/autostart/rigwarden.desktop");
}

bool AutostartEntry::exists()
{
    return QFile::exists(path());
}

QString AutostartEntry::execValue(const QString &executable, const QString &arguments)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString program = executable;
    if (std::any_of(program.cbegin(), program.cend(),
                    [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        program = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // The value itself is a string of the key file: its backslashes are escaped
    // once more, and a literal percent sign is written twice.
    program.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    program.replace(QLatin1String("%"), QLatin1String("%%"));
    return program + QLatin1Char(' ') + arguments;
}

bool AutostartEntry::write(const QString &executable, const QString &arguments)
{
    if (!QDir().mkpath(QFileInfo(path()).absolutePath()))
        return false;
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Lumora Rigwarden\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(executable, arguments));
    file.write(entry.toUtf8());
    return file.commit();
}

bool AutostartEntry::remove()
{
    return !exists() || QFile::remove(path());
}
