#pragma once

#include "firmware_version.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

// What a controller last said about itself in its answer to "/query/system":
// an XML document whose element "response" holds, at any depth, the elements
// read here. Unknown values keep the defaults below.
class ControllerStatus
{
public:
    static constexpr quint32 UnknownCardSize = 4294967295u;

    // Back to the defaults: nothing known.
    void reset() { *this = ControllerStatus(); }
    // Forgets the project the controller runs, before asking again.
    void clearProject();

    // Takes the values from an answer. Each is taken only when exactly one
    // element of its name exists; the others keep their values. False, with
    // nothing changed, when the body is not XML or not a "response".
    bool read(const QByteArray &body);

    int hardwareType = 0;
    FirmwareVersion firmwareVersion;
    QString serialNumber;
    QString projectName;
    QUuid projectUuid;
    QDateTime projectUploadDate;
    quint32 cfCardSizeKb = UnknownCardSize;
};
