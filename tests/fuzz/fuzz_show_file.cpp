// libFuzzer target: the show file readers get any bytes a file may hold.

#include "show_file_reader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the format, so one corpus serves both readers.
    const auto format = (data[0] & 1) ? ShowFileReader::Format_Kma : ShowFileReader::Format_General;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const ShowFileInfo info = ShowFileReader::read(bytes, format);
    // What a reader returns is bounded by what it was given.
    for (const auto &[number, clip] : info.clips) {
        for (const auto &[type, file] : clip.files()) {
            if (file.remoteName().size() > 16)
                __builtin_trap();
        }
    }
    return 0;
}
