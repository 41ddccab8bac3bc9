#include "cache_command.h"

#include "conversion_store.h"

#include <QCoreApplication>
#include <QLocale>

namespace CacheCommand {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("CacheCommand", text);
}
} // namespace

CliCommand command()
{
    return {"cache", "cache [--clear]",
            "show where the kept conversions of media are and their size; --clear removes them",
            &run};
}

int run(const QStringList &arguments)
{
    const bool clear = arguments == QStringList{QStringLiteral("--clear")};
    if (!arguments.isEmpty() && !clear) {
        Cli::error(tr("cache takes no argument but --clear; usage: rigwarden-cli cache [--clear]"));
        return Cli::ExitUsage;
    }
    const ConversionStore store;
    if (clear)
        store.removeAll();
    const ConversionStore::Usage usage = store.usage();
    Cli::print(tr("%1: %2 kept conversions, %3\n")
                   .arg(store.folderPath())
                   .arg(usage.files)
                   .arg(QLocale::c().formattedDataSize(usage.bytes, 1,
                                                       QLocale::DataSizeTraditionalFormat)));
    return 0;
}

} // namespace CacheCommand
