#include "command_line.h"

#include "app_constants.h"

#include <QSettings>

StartupOptions CommandLine::parse(const QStringList &arguments,
                                  const std::function<QString()> &lastFile)
{
    static const QString logLevelPrefix = QStringLiteral("-log_level=");
    const QString projectSuffix = QLatin1Char('.') + AppConstants::documentExtension();

    StartupOptions options;
    for (const QString &argument : arguments) {
        if (argument.startsWith(logLevelPrefix)) {
            options.logLevel = argument.mid(logLevelPrefix.size()).toInt(); // 0 unless a number
        } else if (argument == QLatin1String("-start_minimised")) {
            options.startMinimised = true;
        } else if (argument == QLatin1String("-load_last_file")) {
            options.fileToOpen = lastFile();
        } else if (argument.endsWith(projectSuffix)) {
            options.fileToOpen = argument;
        }
    }
    return options;
}

QString CommandLine::handoverMessage(const QStringList &arguments)
{
    QString message = QStringLiteral("launch");
    if (!arguments.isEmpty())
        message += QLatin1Char(' ') + arguments.first();
    return message;
}

QString CommandLine::storedLastFile()
{
    return QSettings().value(QStringLiteral("File/LastFile")).toString();
}
