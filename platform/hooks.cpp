// The debugger output, message boxes, assertion reports and the message
// pump, each routed through a hook the game (or a test) can replace.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "animate.h"
#include "platform/platform.h"

namespace anim::platform {
namespace {

// A runaway pump (one that never says "nothing waiting") must not hang the
// library inside a long operation.
constexpr int kMaxMessagesPerPump = 1 << 20;

void DefaultTrace(const char *text, void *) {
    std::fputs(text, stderr);
}

std::int32_t DefaultMessageBox(const char *text, const char *caption, std::uint32_t, void *) {
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    return ANIM_IDOK;
}

AnimTraceHandler g_trace = DefaultTrace;
void *g_trace_user = nullptr;
AnimMessageBoxHandler g_message_box = DefaultMessageBox;
void *g_message_box_user = nullptr;
AnimMessagePump g_pump = nullptr;
void *g_pump_user = nullptr;

}  // namespace

void DebugOutput(const char *text) {
    g_trace(text != nullptr ? text : "", g_trace_user);
}

std::int32_t MessageBox(const char *text, const char *caption, std::uint32_t style) {
    return g_message_box(text, caption, style, g_message_box_user);
}

void FailAssertion(const char *file, std::uint32_t line) {
    constexpr int kAbnormalExitCode = 3;
    constexpr char kAbnormalTermination[] = "\r\nabnormal program termination\r\n";
    char text[512];
    std::snprintf(text, sizeof text, "\n Assertion failed: %s, line %u\n",
                  file != nullptr ? file : "(null)", line);
    MessageBox(text, "Assertion Failed", ANIM_MB_ICONHAND);
    std::fputs(kAbnormalTermination, stderr);
    std::fflush(stderr);
    std::raise(SIGABRT);
    // Only reached when the abort signal is caught and returns.
    ::_exit(kAbnormalExitCode);
}

void PumpWindowMessages() {
    if (g_pump == nullptr) return;
    for (int i = 0; i < kMaxMessagesPerPump && g_pump(g_pump_user) != 0; ++i) {
    }
}

}  // namespace anim::platform

extern "C" {

ANIM_API void AnimSetTraceHandler(AnimTraceHandler handler, void *user) {
    anim::platform::g_trace = handler != nullptr ? handler : anim::platform::DefaultTrace;
    anim::platform::g_trace_user = handler != nullptr ? user : nullptr;
}

ANIM_API void AnimSetMessageBoxHandler(AnimMessageBoxHandler handler, void *user) {
    anim::platform::g_message_box =
        handler != nullptr ? handler : anim::platform::DefaultMessageBox;
    anim::platform::g_message_box_user = handler != nullptr ? user : nullptr;
}

ANIM_API void AnimSetMessagePump(AnimMessagePump pump, void *user) {
    anim::platform::g_pump = pump;
    anim::platform::g_pump_user = pump != nullptr ? user : nullptr;
}

}  // extern "C"
