#pragma once

#include <QtGlobal>

// A controller firmware version as major.minor.point. 255.255.255 stands for
// "none read", both in a show file's requirement and in a controller's status.
struct FirmwareVersion
{
    quint8 major = 255;
    quint8 minor = 255;
    quint8 point = 255;

    bool operator==(const FirmwareVersion &other) const = default;
};
