// Picks the conversion kernel once, by what the CPU offers.
#include <array>

#include "sdl/convert.h"

namespace anim::sdl {
namespace {

struct Registry {
    std::array<const ConvertKernel *, 2> kernels{};
    std::size_t count = 0;

    Registry() {
        for (const ConvertKernel *k : {&ScalarConvert(), Avx2Convert()}) {
            if (k != nullptr) kernels[count++] = k;
        }
    }
};

const Registry &Kernels() {
    static const Registry registry;
    return registry;
}

}  // namespace

std::span<const ConvertKernel *const> AvailableConverts() {
    return {Kernels().kernels.data(), Kernels().count};
}

const ConvertKernel &ActiveConvert() {
    static const ConvertKernel &chosen = *AvailableConverts().back();
    return chosen;
}

}  // namespace anim::sdl
