// Check and trace helpers: each site passes its own source name and line.
#pragma once

#include "animate.h"

// Ends the process through ReportAssertion when cond does not hold.
#define ANIM_ASSERT(cond, source)                                                \
    do {                                                                         \
        if (!(cond)) ReportAssertion((source), static_cast<uint32_t>(__LINE__)); \
    } while (0)

// Traces a failure the caller handles itself.
#define ANIM_TRACE(source, text, level) \
    TraceMessage((source), static_cast<uint16_t>(__LINE__), (text), (level))

namespace anim {

// Trace levels used at the library's check sites.
inline constexpr int32_t kTraceMissingArgument = 1;
inline constexpr int32_t kTraceAllocationFailed = 2;
inline constexpr int32_t kTraceOpenFailed = 5;
// A file that opened but cannot be used (cut short, damaged): to the game,
// a file that did not load, so the open-failure level.
inline constexpr int32_t kTraceFileRefused = kTraceOpenFailed;

}  // namespace anim
