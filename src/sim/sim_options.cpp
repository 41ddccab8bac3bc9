#include "sim_options.h"

namespace {

bool takeValue(const QStringList &arguments, qsizetype *i, const QString &name, QString *value,
               QString *error)
{
    const QString argument = arguments.at(*i);
    if (argument.startsWith(name + QLatin1Char('='))) {
        *value = argument.mid(name.size() + 1);
        return true;
    }
    if (*i + 1 >= arguments.size()) {
        *error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    *value = arguments.at(++*i);
    return true;
}

bool matches(const QString &argument, const QString &name)
{
    return argument == name || argument.startsWith(name + QLatin1Char('='));
}

} // namespace

QString SimOptions::helpText()
{
    return QStringLiteral(
               "Usage: rigwarden-sim [OPTIONS]\n"
               "\n"
               "Simulates show controllers on this machine, so that a site can be rehearsed\n"
               "without hardware: each controller has its own HTTP port (status and launch)\n"
               "and FTP port (user \"rigward\", uploads stored in its own folder). The ports\n"
               "are printed at start. Stop it with Ctrl+C.\n"
               "\n"
               "Options:\n"
               "  -n, --count N          number of controllers, 1 to %1 (default 1)\n"
               "  --type TYPE            hardware type of every controller, by number (1 to\n"
               "                         12) or name (NX1, VQ2, KMA...; default 1, NX1)\n"
               "  --firmware X.Y.Z       firmware every controller reports (default 99.0.0)\n"
               "  --card-size KB         card size every controller reports (default 7812500)\n"
               "  --password TEXT        every controller requires this password; without it\n"
               "                         any password, or none, is accepted\n"
               "  --address IP           address to listen on (default 127.0.0.1)\n"
               "  --base-port P          fixed ports: controller i has HTTP port P+2i and FTP\n"
               "                         port P+2i+1 (default: free ports chosen at start)\n"
               "  --root DIR             folder of the controllers' folders (default: a\n"
               "                         temporary folder, removed at the end)\n"
               "  --ports-file FILE      write the listing as JSON to FILE once every\n"
               "                         controller listens\n"
               "  --json                 print the listing as JSON instead of text\n"
               "  --fault WHICH:FAULT    give controllers a fault; WHICH is an index, a range\n"
               "                         such as 2-5, or \"all\"; repeat for more faults\n"
               "  -v, --verbose          trace every request and FTP command on stderr\n"
               "  -h, --help             show this text\n"
               "  --version              print the version\n"
               "\n"
               "Faults:\n")
               .arg(MaximumControllers) +
           SimControllerConfig::faultHelp() +
           QStringLiteral("\n"
                          "Example: rigwarden-sim -n 4 --fault 1:password=secret "
                          "--fault 2-3:drop-stor=2\n");
}

bool SimOptions::parse(const QStringList &arguments, QString *error)
{
    SimControllerConfig common;
    QStringList faults;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        QString value;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            help = true;
        } else if (argument == QLatin1String("--version")) {
            version = true;
        } else if (argument == QLatin1String("--json")) {
            json = true;
        } else if (argument == QLatin1String("-v") || argument == QLatin1String("--verbose")) {
            verbose = true;
        } else if (argument == QLatin1String("-n") ||
                   matches(argument, QStringLiteral("--count"))) {
            if (!takeValue(arguments, &i,
                           argument == QLatin1String("-n") ? argument : QStringLiteral("--count"),
                           &value, error))
                return false;
            bool ok = false;
            count = value.toInt(&ok);
            if (!ok || count < 1 || count > MaximumControllers) {
                *error = QStringLiteral("--count must be 1 to %1").arg(MaximumControllers);
                return false;
            }
        } else if (matches(argument, QStringLiteral("--type"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--type"), &value, error))
                return false;
            common.hardwareType = SimControllerConfig::parseHardwareType(value);
            if (common.hardwareType < 1) {
                *error = QStringLiteral("--type: unknown hardware type \"%1\"").arg(value);
                return false;
            }
        } else if (matches(argument, QStringLiteral("--firmware"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--firmware"), &value, error))
                return false;
            if (!SimControllerConfig::parseFirmware(value, common.firmware)) {
                *error = QStringLiteral("--firmware: expected MAJOR.MINOR.POINT, each 0 to 255");
                return false;
            }
        } else if (matches(argument, QStringLiteral("--card-size"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--card-size"), &value, error))
                return false;
            bool ok = false;
            common.cardSizeKb = value.toUInt(&ok);
            if (!ok) {
                *error = QStringLiteral("--card-size: expected a number of kilobytes");
                return false;
            }
        } else if (matches(argument, QStringLiteral("--password"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--password"), &value, error))
                return false;
            common.password = value;
        } else if (matches(argument, QStringLiteral("--address"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--address"), &value, error))
                return false;
            if (!address.setAddress(value)) {
                *error = QStringLiteral("--address: \"%1\" is no IP address").arg(value);
                return false;
            }
        } else if (matches(argument, QStringLiteral("--base-port"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--base-port"), &value, error))
                return false;
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!ok || port < 1 || port > 65535) {
                *error = QStringLiteral("--base-port must be 1 to 65535");
                return false;
            }
            basePort = static_cast<quint16>(port);
        } else if (matches(argument, QStringLiteral("--root"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--root"), &root, error))
                return false;
        } else if (matches(argument, QStringLiteral("--ports-file"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--ports-file"), &portsFile, error))
                return false;
        } else if (matches(argument, QStringLiteral("--fault"))) {
            if (!takeValue(arguments, &i, QStringLiteral("--fault"), &value, error))
                return false;
            faults.append(value);
        } else {
            *error = QStringLiteral("unknown option \"%1\"; see --help").arg(argument);
            return false;
        }
    }
    if (basePort != 0 && basePort + 2 * count - 1 > 65535) {
        *error = QStringLiteral("--base-port %1 leaves no room for %2 controllers")
                     .arg(basePort)
                     .arg(count);
        return false;
    }
    controllers = QList<SimControllerConfig>(count, common);
    for (const QString &fault : faults) {
        if (!applyFaultOption(fault, error))
            return false;
    }
    return true;
}

bool SimOptions::applyFaultOption(const QString &option, QString *error)
{
    const qsizetype colon = option.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        *error = QStringLiteral("--fault \"%1\": expected WHICH:FAULT").arg(option);
        return false;
    }
    const QString which = option.left(colon);
    int first = 0;
    int last = count - 1;
    if (which != QLatin1String("all")) {
        const QStringList bounds = which.split(QLatin1Char('-'));
        bool okFirst = false;
        bool okLast = false;
        first = bounds.first().toInt(&okFirst);
        last = bounds.size() == 2 ? bounds.last().toInt(&okLast) : first;
        if (bounds.size() == 1)
            okLast = okFirst;
        if (bounds.size() > 2 || !okFirst || !okLast || first < 0 || last < first ||
            last >= count) {
            *error = QStringLiteral("--fault \"%1\": no controller %2 among 0 to %3")
                         .arg(option, which)
                         .arg(count - 1);
            return false;
        }
    }
    for (int index = first; index <= last; ++index) {
        if (!controllers[index].applyFault(option.mid(colon + 1), error))
            return false;
    }
    return true;
}
