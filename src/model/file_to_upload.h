#pragma once

#include "types.h"

#include <QByteArray>
#include <QString>

// One file of a controller's upload: the show file, one file of a media clip,
// or the validator file that ends every upload. Video and audio are sent as
// their converted chunk files; every other type as the file itself.
class FileToUpload
{
public:
    // The slot of the show file and of the validator file.
    static constexpr int NoSlot = -1;

    FileToUpload() = default;
    FileToUpload(int slot, MediaType mediaType) : slot(slot), mediaType(mediaType) {}

    // Whether the controller receives the converted file rather than the source.
    bool isConverted() const
    {
        return mediaType == MediaType_Video || mediaType == MediaType_Audio;
    }
    // The file that is sent; empty when there is none (yet).
    QString localPath() const { return isConverted() ? transcodedPath : sourcePath; }
    // The file whose digest the validator file records: the converted file
    // when there is one, else the source.
    QString digestPath() const { return transcodedPath.isEmpty() ? sourcePath : transcodedPath; }
    // The key of the file in the upload feedback: slot -1 becomes 0xFFFFFFFF.
    uint mediaId() const { return uint(slot); }

    int slot = NoSlot;
    MediaType mediaType = MediaType_Unknown;
    QString sourcePath;     // empty when the file does not exist
    QString transcodedPath; // the converted file of video and audio, once ready
    QString remoteName;     // the file's name on the controller
    bool transcoding = false;
    bool alreadyOnController = false;
    QByteArray md5; // empty when the file could not be read
};
