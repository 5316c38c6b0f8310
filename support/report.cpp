// Assertion and trace reports.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "animate.h"
#include "platform/platform.h"

namespace {

// A source name and line number fit in this; longer names are cut.
constexpr std::size_t kTraceWhereSize = 320;
// Most traces fit here without a heap block.
constexpr std::size_t kTraceShortSize = 512;

}  // namespace

extern "C" {

ANIM_API void ReportAssertion(const char *file, uint32_t line) {
    anim::platform::FailAssertion(file, line);
}

ANIM_API void TraceMessage(const char *file, uint16_t line, const char *text, int32_t /*level*/) {
    // Formatted without anything that can throw, so that no C++ exception
    // reaches the game: a stack buffer for the usual short trace, a plain
    // malloc for a long one, and the stack buffer's truncation if even that
    // fails.
    char where[kTraceWhereSize] = "";
    if (file != nullptr && line != 0) {
        std::snprintf(where, sizeof where, "%s line %u: ", file, static_cast<unsigned>(line));
    } else if (file != nullptr) {
        std::snprintf(where, sizeof where, "%s: ", file);
    } else if (line != 0) {
        std::snprintf(where, sizeof where, " line %u: ", static_cast<unsigned>(line));
    }
    const char *body = text != nullptr ? text : "";
    char shortText[kTraceShortSize];
    const int needed = std::snprintf(shortText, sizeof shortText, "%s%s\r\n", where, body);
    if (needed < 0 || static_cast<std::size_t>(needed) < sizeof shortText) {
        anim::platform::DebugOutput(shortText);
        return;
    }
    const std::size_t size = static_cast<std::size_t>(needed) + 1;
    std::unique_ptr<char, decltype(&std::free)> longText(static_cast<char *>(std::malloc(size)),
                                                         &std::free);
    if (longText == nullptr) {
        anim::platform::DebugOutput(shortText);
        return;
    }
    std::snprintf(longText.get(), size, "%s%s\r\n", where, body);
    anim::platform::DebugOutput(longText.get());
}

}  // extern "C"
