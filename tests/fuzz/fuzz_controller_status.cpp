// libFuzzer target: a controller's answer to the status request.

#include "controller_status.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ControllerStatus status;
    const ControllerStatus before = status;
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A refused answer changes nothing.
    if (!status.read(body) &&
        (status.hardwareType != before.hardwareType || status.cfCardSizeKb != before.cfCardSizeKb ||
         !status.serialNumber.isNull() || !status.projectUuid.isNull()))
        __builtin_trap();
    return 0;
}
