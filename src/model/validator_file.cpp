#include "validator_file.h"

#include <QDataStream>
#include <QIODevice>

const QString ValidatorFile::RemoteName = QStringLiteral("_val_id");

namespace {
// Identifier, slot, media type and digest length.
constexpr qint64 EntryHeaderSize = 16;
} // namespace

ValidatorFile::Key ValidatorFile::keyOf(uint controllerId, const FileToUpload &file)
{
    return {quint32(controllerId), quint32(file.slot), quint32(file.mediaType)};
}

QByteArray ValidatorFile::write(uint controllerId, const QList<FileToUpload> &files)
{
    QByteArray data;
    data.reserve(qsizetype(size(files)));
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << Magic;
    for (const FileToUpload &file : files) {
        const auto [identifier, slot, mediaType] = keyOf(controllerId, file);
        stream << identifier << slot << mediaType << quint32(file.md5.size());
        stream.writeRawData(file.md5.constData(), int(file.md5.size()));
    }
    return data;
}

qint64 ValidatorFile::size(const QList<FileToUpload> &files)
{
    qint64 total = sizeof(Magic);
    for (const FileToUpload &file : files)
        total += EntryHeaderSize + file.md5.size();
    return total;
}

ValidatorFile::Entries ValidatorFile::read(const QByteArray &data)
{
    Entries entries;
    QDataStream stream(data);
    quint32 magic = 0;
    stream >> magic;
    if (stream.status() != QDataStream::Ok || magic != Magic)
        return entries;
    qint64 remaining = data.size() - qint64(sizeof(magic));
    while (remaining >= EntryHeaderSize) {
        quint32 identifier = 0, slot = 0, mediaType = 0, length = 0;
        stream >> identifier >> slot >> mediaType >> length;
        remaining -= EntryHeaderSize;
        // The length comes from the controller: only what is there is read.
        if (qint64(length) > remaining)
            break;
        QByteArray digest(qsizetype(length), Qt::Uninitialized);
        if (stream.readRawData(digest.data(), int(length)) != int(length))
            break;
        remaining -= length;
        entries[{identifier, slot, mediaType}] = digest;
    }
    return entries;
}
