// Assertion and trace reports.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "animate.h"
#include "platform/platform.h"

namespace {

constexpr int kAbnormalExitCode = 3;
constexpr char kAbnormalTermination[] = "\r\nabnormal program termination\r\n";

}  // namespace

extern "C" {

ANIM_API void ReportAssertion(const char *file, uint32_t line) {
    char text[512];
    std::snprintf(text, sizeof text, "\n Assertion failed: %s, line %u\n",
                  file != nullptr ? file : "(null)", line);
    anim::platform::MessageBox(text, "Assertion Failed", ANIM_MB_ICONHAND);
    std::fputs(kAbnormalTermination, stderr);
    std::fflush(stderr);
    std::raise(SIGABRT);
    // Only reached when the abort signal is caught and returns.
    ::_exit(kAbnormalExitCode);
}

ANIM_API void TraceMessage(const char *file, uint16_t line, const char *text, int32_t /*level*/) {
    std::string out;
    if (file != nullptr) out += file;
    if (line != 0) out += " line " + std::to_string(line);
    if (file != nullptr || line != 0) out += ": ";
    if (text != nullptr) out += text;
    out += "\r\n";
    anim::platform::DebugOutput(out.c_str());
}

}  // extern "C"
