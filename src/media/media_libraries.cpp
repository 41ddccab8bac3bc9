#include "media_libraries.h"

extern "C" {
#include <libavutil/log.h>
}

namespace MediaLibraries {

void initialise()
{
    av_log_set_level(AV_LOG_QUIET);
}

} // namespace MediaLibraries
