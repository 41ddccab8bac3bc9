// libFuzzer target: one line of an FTP listing; the first byte picks LIST
// (Unix or DOS layout) or MLSD.

#include "ftp_list_parser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The client hands over one line at a time: what follows a line break is
    // the next line.
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1))
            .section(QLatin1Char('\n'), 0, 0);
    UrlInfo info;
    const bool parsed = (data[0] & 1) ? FtpListParser::parseMlsdLine(line, &info)
                                      : FtpListParser::parseListLine(line, &info);
    // An entry always has a name, and one that a later command can send.
    if (parsed && (info.name().isEmpty() || info.name().contains(QLatin1Char('\n'))))
        __builtin_trap();
    return 0;
}
