// Shared helpers of the test suite: capturing the platform hooks, scratch
// files, leak checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "animate.h"
#include "platform/platform.h"

namespace anim::test {

// Collects every trace text while alive.
class TraceCapture {
  public:
    TraceCapture() { AnimSetTraceHandler(&TraceCapture::Receive, this); }
    ~TraceCapture() { AnimSetTraceHandler(nullptr, nullptr); }
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    const std::vector<std::string> &lines() const { return lines_; }

  private:
    static void Receive(const char *text, void *user) { static_cast<TraceCapture *>(user)->lines_.emplace_back(text); }
    std::vector<std::string> lines_;
};

// Counts message-pump calls while alive; the pump reports nothing waiting.
class PumpCounter {
  public:
    PumpCounter() { AnimSetMessagePump(&PumpCounter::Pump, this); }
    ~PumpCounter() { AnimSetMessagePump(nullptr, nullptr); }
    PumpCounter(const PumpCounter &) = delete;
    PumpCounter &operator=(const PumpCounter &) = delete;

    int calls() const { return calls_; }

  private:
    static int32_t Pump(void *user) {
        ++static_cast<PumpCounter *>(user)->calls_;
        return 0;
    }
    int calls_ = 0;
};

// A scratch folder removed with everything in it when the test ends.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string File(const std::string &name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

// Fails the test when blocks were allocated and not freed while alive.
class LeakCheck {
  public:
    LeakCheck() : before_(platform::LiveBlockCount()) {}
    ~LeakCheck() { EXPECT_EQ(platform::LiveBlockCount(), before_) << "memory blocks leaked"; }
    LeakCheck(const LeakCheck &) = delete;
    LeakCheck &operator=(const LeakCheck &) = delete;

  private:
    std::size_t before_;
};

// Packed DIBs of the DIB-level tests, released when they go out of scope.
namespace dibs {
struct Deleter {
    void operator()(BITMAPINFOHEADER *dib) const { DeleteDIB(dib); }
};
using Owned = std::unique_ptr<BITMAPINFOHEADER, Deleter>;
inline std::uint8_t &Px(BITMAPINFOHEADER *dib, std::int32_t x, std::int32_t y) {
    return *GetDIBPixelAddress(dib, x, y);
}
inline std::uint8_t &Px(const Owned &dib, std::int32_t x, std::int32_t y) {
    return Px(dib.get(), x, y);
}
}  // namespace dibs

}  // namespace anim::test
