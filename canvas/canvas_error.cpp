// The canvas's own numbered error report: one trace line and one modal box,
// after which the caller carries on with the code.
#include <cstdio>

#include "canvas/canvas.h"
#include "platform/platform.h"

namespace anim::canvas {

namespace {
// The hand (stop) icon of the report box.
constexpr std::uint32_t kIconHand = 16;
}  // namespace

std::uint16_t CanvasReportError(Canvas *, std::uint16_t code, int line) {
    if (code == kOk) return kOk;
    char text[64];
    std::snprintf(text, sizeof text, "Canvas error %d at line %d\r\n", code, line);
    platform::DebugOutput(text);
    platform::MessageBox(text, kSource, kIconHand);
    return code;
}

}  // namespace anim::canvas
