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

int main(int argc, char **argv) {
    namespace fs = std::filesystem;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::size_t first = 0;
    constexpr std::string_view kKernelsFlag = "--kernels=";
    if (!args.empty() && args[0].starts_with(kKernelsFlag)) {
        const auto *set = anim::blit::KernelsNamed(args[0].substr(kKernelsFlag.size()));
        if (set == nullptr) {
            std::printf("kernel set %s is not on this CPU: skipped\n", argv[1] + kKernelsFlag.size());
            return ANIMATE_SKIP_CODE;
        }
        anim::blit::ForceKernels(set);
        ++first;
    }
    const auto *target = std::find_if(std::begin(anim::fuzz::kTargets), std::end(anim::fuzz::kTargets),
                                      [&](const auto &t) { return args.size() > first + 1 && args[first] == t.name; });
    if (target == std::end(anim::fuzz::kTargets)) {
        std::fprintf(stderr, "usage: %s [--kernels=NAME] TARGET PATH... (a known target)\n", argv[0]);
        return 2;
    }
    anim::fuzz::PrepareProcess();
    std::vector<fs::path> inputs;
    for (std::size_t i = first + 1; i < args.size(); ++i) {
        const auto before = static_cast<std::ptrdiff_t>(inputs.size());
        if (fs::is_regular_file(args[i])) inputs.emplace_back(args[i]);
        if (fs::is_directory(args[i])) {
            for (const auto &entry : fs::directory_iterator(args[i]))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
            std::sort(inputs.begin() + before, inputs.end());
        }
    }
    for (const fs::path &input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        std::fprintf(stderr, "%s\n", input.c_str());
        target->run(bytes.data(), bytes.size());
    }
    std::printf("%s: replayed %zu inputs\n", target->name, inputs.size());
    return inputs.empty() ? 1 : 0;
}
