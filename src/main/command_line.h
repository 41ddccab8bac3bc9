#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the GUI's command line asks for.
struct StartupOptions
{
    int logLevel = 0;
    bool startMinimised = false;
    QString fileToOpen;
};

// The GUI's command line: "-log_level=N", "-start_minimised", "-load_last_file"
// and project paths ending in ".lmp". Anything else is ignored; comparisons
// are case-sensitive; a later project path replaces an earlier one.
class CommandLine
{
public:
    // `arguments` excludes the program name; `lastFile` gives the setting
    // "File/LastFile" when "-load_last_file" asks for it.
    static StartupOptions parse(const QStringList &arguments,
                                const std::function<QString()> &lastFile);
    // "launch", followed by one blank and the first argument when there is one.
    static QString handoverMessage(const QStringList &arguments);
    // The stored "File/LastFile", empty when unset.
    static QString storedLastFile();
};
