// Feeds saved inputs to a fuzz target in an ordinary build, so that every
// input that once broke the library stays a test.
//
//   fuzz_replay TARGET PATH...     each PATH a file, or a folder of files
//
// A broken promise crashes the program (as it crashes the fuzzer); a run
// that gets through prints how many inputs it replayed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TARGET PATH...\n", argv[0]);
        return 2;
    }
    const anim::fuzz::Target *target = anim::fuzz::FindTarget(argv[1]);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target named %s\n", argv[1]);
        return 2;
    }
    anim::fuzz::PrepareProcess();
    std::size_t replayed = 0;
    for (int i = 2; i < argc; ++i) {
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
