#pragma once

#include <QString>
#include <QUuid>

// Reads the project identity from the header of an uploaded show file: the
// general layout (big-endian, "upload.wr_") or the KMA layout
// (little-endian, "newshow.kma"), with the application's own show file reader.
class SimShowFile
{
public:
    enum Layout
    {
        Layout_General,
        Layout_Kma
    };

    // The layout that a file of this remote name has.
    static Layout layoutOfName(const QString &remoteName);
    // The project UUID; null when the file cannot be read, is not a show
    // file, or is too old to carry one.
    static QUuid projectUuid(const QString &path, Layout layout);
};
