// libFuzzer target: a controller's copy of the validator file.

#include "validator_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Every entry takes at least its 16-byte header beside the magic.
    const ValidatorFile::Entries entries = ValidatorFile::read(bytes);
    qsizetype digests = 0;
    for (const auto &[key, digest] : entries)
        digests += digest.size();
    if (!entries.empty() && 4 + qsizetype(entries.size()) * 16 + digests > bytes.size())
        __builtin_trap();
    return 0;
}
