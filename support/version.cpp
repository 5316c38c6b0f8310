// Version queries.
#include <cstdio>

#include "animate.h"

namespace {

constexpr uint16_t kVersion = ANIMATE_VERSION_MAJOR * 100 + ANIMATE_VERSION_MINOR;
constexpr uint16_t kRevision = ANIMATE_VERSION_REVISION;
// "4.00.01" and its terminator.
constexpr int kVersionStringSize = 8;

}  // namespace

extern "C" {

ANIM_API uint16_t AnimVersion(void) {
    return kVersion;
}

ANIM_API uint16_t AnimRevision(void) {
    return kRevision;
}

ANIM_API int32_t AnimVersionString(char *buffer) {
    if (buffer == nullptr) return 0;
    return std::snprintf(buffer, kVersionStringSize, "%d.%02d.%02d", ANIMATE_VERSION_MAJOR,
                         ANIMATE_VERSION_MINOR, ANIMATE_VERSION_REVISION);
}

}  // extern "C"
