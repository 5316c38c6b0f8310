// The reference conversion, one pixel at a time.
#include <cstring>

#include "sdl/convert.h"

namespace anim::sdl {
namespace {

void Row(std::uint8_t *out, const std::uint8_t *in, std::size_t count, const ColourTable &table) {
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out + i * sizeof(std::uint32_t), &table[in[i]], sizeof(std::uint32_t));
    }
}

constexpr ConvertKernel kScalar{"scalar", Row};

}  // namespace

const ConvertKernel &ScalarConvert() {
    return kScalar;
}

}  // namespace anim::sdl
