// Every conversion kernel this CPU runs gives the scalar reference's bytes,
// and writes nothing beyond the row it was given.
#include "sdl/convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace anim::sdl {
namespace {

TEST(SdlConvert, KernelsAgreeWithTheScalarReferenceOnRandomRows) {
    std::mt19937 rng(11);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    constexpr int kGuard = 64;
    for (int round = 0; round < 400; ++round) {
        ColourTable table;
        for (std::uint32_t &c : table) c = static_cast<std::uint32_t>(rng());
        const int count = round < 40 ? round : any(0, 700);
        const int inOffset = any(0, 31), outOffset = any(0, 31);
        std::vector<std::uint8_t> in(static_cast<size_t>(inOffset + count));
        for (std::uint8_t &b : in) b = static_cast<std::uint8_t>(rng());
        const size_t bytes = static_cast<size_t>(outOffset + count * 4 + kGuard);
        std::vector<std::uint8_t> expected(bytes, 0xA5);
        ScalarConvert().row(expected.data() + outOffset, in.data() + inOffset,
                            static_cast<size_t>(count), table);
        if (count > 0) {
            const std::uint32_t first = table[in[static_cast<size_t>(inOffset)]];
            ASSERT_EQ(std::memcmp(expected.data() + outOffset, &first, 4), 0);
        }
        for (const ConvertKernel *k : AvailableConverts()) {
            std::vector<std::uint8_t> out(bytes, 0xA5);
            k->row(out.data() + outOffset, in.data() + inOffset, static_cast<size_t>(count), table);
            ASSERT_EQ(out, expected) << k->name << ", " << count << " pixels";
        }
    }
    EXPECT_EQ(&ActiveConvert(), AvailableConverts().back());
}

}  // namespace
}  // namespace anim::sdl
