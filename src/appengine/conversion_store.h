#pragma once

#include "types.h"

#include <QDir>
#include <QString>

// The folder of kept conversions, shared by every process of the user (the
// application and every command) and kept between runs.
//
// A conversion is named after what it was made from: a hash of the source's
// absolute path, the media type and the converter's version, then a hash of
// the source's size, modification time and file identity. A source that
// changes or goes therefore never finds a stale conversion under its name.
// A conversion is written beside its name ("NAME.part-PID-N") and renamed
// into place when complete, so no process ever reads a half-written one, and
// two processes converting the same source both end with a complete file.
//
// Clean-up never takes a file another process may be using: older versions
// of a source go an hour after their last use, any conversion after thirty
// days unused (each reuse renews it), a part file after a day untouched.
class ConversionStore
{
public:
    // Raise when a conversion of the same source would come out different.
    static constexpr int ConverterVersion = 1;

    // "conversions" in the per-user cache location.
    static QString defaultFolder();

    explicit ConversionStore(const QString &folder = defaultFolder());

    // The folder exists or could be made.
    bool isUsable() const { return m_usable; }
    QString folderPath() const { return m_folder.absolutePath(); }

    // Where the conversion of the source as it is now lies once made;
    // empty when the source does not exist.
    QString keptPath(const QString &sourcePath, MediaType type) const;
    // A new file name beside the kept one, for this process to write.
    QString partPath(const QString &keptPath) const;
    // Moves a complete part file into place (replacing an identical one
    // that another process made meanwhile); false when it cannot.
    bool commit(const QString &partPath, const QString &keptPath) const;
    // The kept conversion was reused: it stays for another thirty days.
    void renew(const QString &keptPath) const;

    // Removes the stale files as described above.
    void removeStale() const;
    // Removes every kept conversion (not the part files being written).
    int removeAll() const;

    struct Usage
    {
        int files = 0;
        qint64 bytes = 0;
    };
    Usage usage() const;

private:
    QDir m_folder;
    bool m_usable = false;
};
