// The in-memory file, the scratch folder and the process set-up.
#include "fuzz_support.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "animate.h"

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
        const ssize_t put =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (put <= 0) std::abort();
        done += static_cast<std::size_t>(put);
    }
}

namespace {

std::filesystem::path g_scratch;

constexpr std::string_view kScratchPrefix = "animate-fuzz-";

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}

// A process that crashes (a finding) never reaches its exit handlers: the
// folders of processes that are gone are removed by the next one.
void RemoveAbandoned(const std::filesystem::path &base) {
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix)) continue;
        const long pid = std::strtol(name.c_str() + kScratchPrefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

}  // namespace

const std::filesystem::path &ScratchFolder() {
    if (g_scratch.empty()) {
        const std::filesystem::path shm = "/dev/shm";
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory(shm, error)
                                               ? shm
                                               : std::filesystem::temp_directory_path();
        RemoveAbandoned(base);
        std::string name =
            (base / (std::string(kScratchPrefix) + std::to_string(::getpid()) + "-XXXXXX"))
                .string();
        if (::mkdtemp(name.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_scratch = name;
        std::atexit(&RemoveScratch);
    }
    return g_scratch;
}

std::string ScratchFile(const std::string &name, std::span<const std::uint8_t> bytes) {
    const std::string path = (ScratchFolder() / name).string();
    FILE *out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr &&
               (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()));
    std::fclose(out);
    return path;
}

bool SameRows(BITMAPINFOHEADER *a, std::int32_t ax, std::int32_t ay, BITMAPINFOHEADER *b,
              std::int32_t width, std::int32_t height) {
    for (std::int32_t y = 0; y < height && width > 0; ++y) {
        if (std::memcmp(GetDIBPixelAddress(a, ax, ay + y), GetDIBPixelAddress(b, 0, y),
                        static_cast<std::size_t>(width)) != 0)
            return false;
    }
    return true;
}

void ReleasePalette(EngineState *engine) {
    if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
}

namespace {

void Quiet(const char *, void *) {}

// Canvas error boxes are expected on bad input too; an assertion box is
// shown, as the abort that follows it is a finding.
std::int32_t AssertionBoxesOnly(const char *text, const char *caption, std::uint32_t, void *) {
    if (std::string_view(caption) == "Assertion Failed")
        std::fprintf(stderr, "%s%s\n", caption, text);
    return ANIM_IDOK;
}

}  // namespace

void PrepareProcess() {
    AnimSetTraceHandler(&Quiet, nullptr);
    AnimSetMessageBoxHandler(&AssertionBoxesOnly, nullptr);
    platform::SetBlockSizeLimit(kMaxFuzzBlock);
}

}  // namespace anim::fuzz
