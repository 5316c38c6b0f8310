// Feeds saved inputs to a fuzz target in an ordinary build, so that every
// input that once broke the library stays a test.
//
//   fuzz_replay [--kernels=NAME] TARGET PATH...   each PATH a file, or a folder of files
//
// --kernels forces a blitter kernel set; a set this CPU lacks skips the run.
//
// A broken promise crashes the program (as it crashes the fuzzer); a run
// that gets through prints how many inputs it replayed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "blit/kernels.h"
#include "fuzz_support.h"
#include "targets.h"

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path &path) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(path)) {
        for (const auto &entry : std::filesystem::directory_iterator(path)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(path)) {
        inputs.push_back(path);
    }
    return inputs;
}

}  // namespace

int main(int argc, char **argv) {
    constexpr std::string_view kKernelsFlag = "--kernels=";
    int first = 1;
    if (argc > first && std::string_view(argv[first]).starts_with(kKernelsFlag)) {
        const std::string_view name = std::string_view(argv[first]).substr(kKernelsFlag.size());
        const auto *set = anim::blit::KernelsNamed(name);
        if (set == nullptr) {
            std::printf("kernel set %.*s is not on this CPU: skipped\n",
                        static_cast<int>(name.size()), name.data());
            return ANIMATE_SKIP_CODE;
        }
        anim::blit::ForceKernels(set);
        ++first;
    }
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: %s [--kernels=NAME] TARGET PATH...\n", argv[0]);
        return 2;
    }
    const anim::fuzz::Target *target = anim::fuzz::FindTarget(argv[first]);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target named %s\n", argv[first]);
        return 2;
    }
    anim::fuzz::PrepareProcess();
    std::size_t replayed = 0;
    for (int i = first + 1; i < argc; ++i) {
        for (const auto &input : InputsOf(argv[i])) {
            std::ifstream file(input, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
            std::fprintf(stderr, "%s\n", input.c_str());
            target->run(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("%s: replayed %zu inputs\n", target->name, replayed);
    return replayed == 0 ? 1 : 0;
}
