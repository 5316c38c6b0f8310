// The in-memory file and the target table.
#include "fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

#include "animate.h"
#include "targets.h"

namespace anim::fuzz {

MemoryFile::MemoryFile() {
    fd_ = ::memfd_create("animate-fuzz", 0);
    if (fd_ < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile &MemoryFile::Get() {
    static MemoryFile file;
    return file;
}

void MemoryFile::Write(std::span<const std::uint8_t> bytes) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(done));
        if (put <= 0) std::abort();
        done += static_cast<std::size_t>(put);
    }
}

void ReleasePalette(EngineState *engine) {
    if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
}

namespace {

void Quiet(const char *, void *) {}

// Canvas error boxes are expected on bad input too; an assertion box is
// shown, as the abort that follows it is a finding.
std::int32_t AssertionBoxesOnly(const char *text, const char *caption, std::uint32_t, void *) {
    if (std::string_view(caption) == "Assertion Failed") std::fprintf(stderr, "%s%s\n", caption, text);
    return ANIM_IDOK;
}

}  // namespace

void PrepareProcess() {
    AnimSetTraceHandler(&Quiet, nullptr);
    AnimSetMessageBoxHandler(&AssertionBoxesOnly, nullptr);
    platform::SetBlockSizeLimit(kMaxFuzzBlock);
}

namespace {

constexpr std::array<Target, 5> kTargets = {{
    {"dib_file", &DibFileTarget},
    {"frame_decode", &FrameDecodeTarget},
    {"encode", &EncodeTarget},
    {"find_rects", &FindRectsTarget},
    {"multi_anim", &MultiAnimTarget},
}};

}  // namespace

std::span<const Target> AllTargets() { return kTargets; }

const Target *FindTarget(const char *name) {
    for (const Target &t : kTargets) {
        if (std::string_view(t.name) == name) return &t;
    }
    return nullptr;
}

}  // namespace anim::fuzz
