#pragma once

#include "file_to_upload.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <tuple>

// The validator file "_val_id" that ends every upload: which file, by
// (controller identifier, slot, media type), the controller was given, with
// the MD5 digest of each. The next upload reads it back to skip the files the
// controller already holds. Big-endian 32-bit numbers: the magic 6019, then
// per file its identifier, slot, media type, digest length and digest.
class ValidatorFile
{
public:
    static constexpr quint32 Magic = 6019;
    static const QString RemoteName; // "_val_id"
    // A controller's copy is read up to this size; a larger one is ignored.
    static constexpr qint64 MaximumSize = 1024 * 1024;

    using Key = std::tuple<quint32, quint32, quint32>; // identifier, slot, media type
    using Entries = std::map<Key, QByteArray>;

    static Key keyOf(uint controllerId, const FileToUpload &file);
    // One entry per file, in list order.
    static QByteArray write(uint controllerId, const QList<FileToUpload> &files);
    // The size that write() gives.
    static qint64 size(const QList<FileToUpload> &files);
    // The entries of a controller's copy; none when the magic is not ours. A
    // later entry replaces an earlier one with the same key; reading stops at
    // an entry that does not fit in what remains.
    static Entries read(const QByteArray &data);
};
