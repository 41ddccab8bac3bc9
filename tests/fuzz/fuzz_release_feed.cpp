// libFuzzer target: the release feed the version check downloads.

#include "version_checker.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray feed(reinterpret_cast<const char *>(data), qsizetype(size));
    // Only web addresses are ever offered to the browser.
    for (const auto &[version, info] : VersionChecker::readFeed(feed)) {
        for (const auto &[page, file] : info.platforms) {
            for (const QUrl &url : {page, file}) {
                if (!url.isEmpty() && url.scheme().toLower() != QLatin1String("http") &&
                    url.scheme().toLower() != QLatin1String("https"))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
