// The suite's entry point. With --kernels=NAME every test runs on that
// blitter kernel set, so the pixel-level suites are checked once per set
// this CPU has; a set the CPU lacks skips the run (in the words CTest reads
// as a skip).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "blit/kernels.h"

int main(int argc, char **argv) {
    constexpr std::string_view kKernelsFlag = "--kernels=";
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.starts_with(kKernelsFlag)) continue;
        const std::string name{arg.substr(kKernelsFlag.size())};
        const auto *set = anim::blit::KernelsNamed(name);
        if (set == nullptr) {
            std::printf("[  SKIPPED ] kernel set %s is not on this CPU\n", name.c_str());
            return 0;
        }
        anim::blit::ForceKernels(set);
    }
    return RUN_ALL_TESTS();
}
