#include "sim_controller_config.h"

#include "types.h"

#include <QStringList>

namespace {
bool parsePositive(const QString &text, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && *value > 0;
}
} // namespace

int SimControllerConfig::parseHardwareType(const QString &text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber)
        return number >= 0 && number <= HardwareType::Max ? number : -1;
    const int type = HardwareType::fromName(text);
    return type == HardwareType::Unknown && text != QLatin1String("Unknown") ? -1 : type;
}

bool SimControllerConfig::parseFirmware(const QString &text, int firmware[3])
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = parts.at(i).toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return false;
        firmware[i] = value;
    }
    return true;
}

bool SimControllerConfig::applyFault(const QString &fault, QString *error)
{
    const qsizetype equals = fault.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? fault : fault.left(equals);
    const QString value = equals < 0 ? QString() : fault.mid(equals + 1);
    const bool hasValue = equals >= 0;
    auto refuse = [&](const QString &why) {
        *error = QStringLiteral("fault \"%1\": %2").arg(fault, why);
        return false;
    };

    if (name == QLatin1String("wrong-type")) {
        if (hasValue) {
            const int type = parseHardwareType(value);
            if (type < 0)
                return refuse(QStringLiteral("unknown hardware type"));
            hardwareType = type;
        } else {
            // A type that is equivalent to nothing the controller was.
            hardwareType = (hardwareType == 3 || hardwareType == 7) ? 1 : 3;
        }
        return true;
    }
    if (name == QLatin1String("old-firmware")) {
        int parsed[3] = {1, 0, 0};
        if (hasValue && !parseFirmware(value, parsed))
            return refuse(QStringLiteral("expected MAJOR.MINOR.POINT, each 0 to 255"));
        for (int i = 0; i < 3; ++i)
            firmware[i] = parsed[i];
        return true;
    }
    if (name == QLatin1String("password")) {
        if (value.isEmpty())
            return refuse(QStringLiteral("give the password, as password=TEXT"));
        password = value;
        return true;
    }
    if (hasValue &&
        (name == QLatin1String("user-230") || name.startsWith(QLatin1String("launch-"))))
        return refuse(QStringLiteral("takes no value"));
    if (name == QLatin1String("user-230")) {
        loggedInAtUser = true;
        return true;
    }
    if (name == QLatin1String("launch-refused")) {
        launch = Launch_Refused;
        return true;
    }
    if (name == QLatin1String("launch-null")) {
        launch = Launch_NullUuid;
        return true;
    }
    if (name == QLatin1String("launch-other")) {
        launch = Launch_OtherProject;
        return true;
    }
    qint64 number = 0;
    if (name == QLatin1String("drop-stor") || name == QLatin1String("stall-stor")) {
        if (!parsePositive(value, &number) || number > 1000000)
            return refuse(QStringLiteral("give the number of the STOR, counting from 1"));
        (name == QLatin1String("drop-stor") ? dropStor : stallStor) = static_cast<int>(number);
        return true;
    }
    if (name == QLatin1String("slow")) {
        if (!parsePositive(value, &number))
            return refuse(QStringLiteral("give the speed in bytes per second"));
        bytesPerSecond = number;
        return true;
    }
    return refuse(QStringLiteral("unknown fault; see --help"));
}

QString SimControllerConfig::faultHelp()
{
    return QStringLiteral(
        "  wrong-type[=TYPE]    report another hardware type (default: one that is\n"
        "                       not equivalent to the configured type)\n"
        "  old-firmware[=X.Y.Z] report an old firmware (default 1.0.0)\n"
        "  password=TEXT        require this password for user rigward\n"
        "  user-230             answer USER rigward with 230 at once (no PASS)\n"
        "  launch-refused       refuse the launch (500, no UUID)\n"
        "  launch-null          answer the launch with the null UUID\n"
        "  launch-other         answer the launch with another project's UUID\n"
        "  drop-stor=N          drop the connection in the middle of the Nth STOR\n"
        "                       (counted from the start of the simulator)\n"
        "  stall-stor=N         stop reading in the middle of the Nth STOR and never\n"
        "                       answer it\n"
        "  slow=BYTES           data connections at BYTES per second\n");
}
