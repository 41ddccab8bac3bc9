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

    // The controllers' order: major, then minor; between equal ones a point
    // of 128 or more (bit 7, a pre-release) comes before any point below
    // 128, else the smaller point is lower.
    bool isLowerThan(const FirmwareVersion &other) const
    {
        if (major != other.major)
            return major < other.major;
        if (minor != other.minor)
            return minor < other.minor;
        const bool preRelease = (point & 0x80) != 0;
        const bool otherPreRelease = (other.point & 0x80) != 0;
        if (preRelease != otherPreRelease)
            return preRelease;
        return point < other.point;
    }
};
