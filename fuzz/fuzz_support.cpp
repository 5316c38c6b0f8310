// The in-memory file, the scratch folder and the process set-up.
#include "fuzz_support.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace anim::fuzz {

const char *MemoryFile(std::span<const std::uint8_t> bytes) {
    static const int fd = ::memfd_create("animate-fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(fd >= 0 && ::ftruncate(fd, 0) == 0);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        FUZZ_CHECK(put > 0);
        done += static_cast<std::size_t>(put);
    }
    return path.c_str();
}

namespace {

constexpr std::string_view kScratchPrefix = "animate-fuzz-";

// Never destroyed: the exit handler that removes the folder runs after
// the destructors of statics made before it was registered.
const std::filesystem::path *g_scratch = nullptr;

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(*g_scratch, ignored);
}

// A process that crashes (a finding) never reaches its exit handlers: the
// folders of processes that are gone are removed by the next one.
void RemoveAbandoned(const std::filesystem::path &base) {
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix)) continue;
        const long pid = std::strtol(name.c_str() + kScratchPrefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), error);
    }
}

}  // namespace

const std::filesystem::path &ScratchFolder() {
    if (g_scratch != nullptr) return *g_scratch;
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
    RemoveAbandoned(base);
    std::string name = (base / kScratchPrefix).string() + std::to_string(::getpid()) + "-XXXXXX";
    FUZZ_CHECK(::mkdtemp(name.data()) != nullptr);
    g_scratch = new std::filesystem::path(name);
    std::atexit(&RemoveScratch);
    return *g_scratch;
}

std::string ScratchFile(const std::string &name, std::span<const std::uint8_t> bytes) {
    const std::string path = (ScratchFolder() / name).string();
    FILE *out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()));
    std::fclose(out);
    return path;
}

bool SameRows(BITMAPINFOHEADER *a, std::int32_t ax, std::int32_t ay, BITMAPINFOHEADER *b, std::int32_t width,
              std::int32_t height) {
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
    if (std::string_view(caption) == "Assertion Failed") std::fprintf(stderr, "%s%s\n", caption, text);
    return ANIM_IDOK;
}

}  // namespace

void PrepareProcess() {
    AnimSetTraceHandler(&Quiet, nullptr);
    AnimSetMessageBoxHandler(&AssertionBoxesOnly, nullptr);
    platform::SetBlockSizeLimit(kMaxFuzzBlock);
}

}  // namespace anim::fuzz
