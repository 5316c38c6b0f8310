// Picks the kernel set once, by what the CPU offers; tests may force another.
#include <array>

#include "blit/kernels.h"

namespace anim::blit {
namespace {

struct Registry {
    std::array<const Kernels *, 3> sets{};
    std::size_t count = 0;

    Registry() {
        sets[count++] = &ScalarKernels();
#ifndef ANIMATE_SCALAR_KERNELS_ONLY
        // Builds for other machines (WebAssembly) leave the x86 sets out.
        for (const Kernels *k : {Sse2Kernels(), Avx2Kernels()}) {
            if (k != nullptr) sets[count++] = k;
        }
#endif
    }
};

const Registry &Sets() {
    static const Registry registry;
    return registry;
}

// The fastest set comes last in the registry.
const Kernels *active = nullptr;

}  // namespace

const Kernels &ActiveKernels() {
    if (active == nullptr) active = Sets().sets[Sets().count - 1];
    return *active;
}

std::span<const Kernels *const> AvailableKernels() {
    return {Sets().sets.data(), Sets().count};
}

const Kernels *KernelsNamed(std::string_view name) {
    for (const Kernels *k : AvailableKernels()) {
        if (name == k->name) return k;
    }
    return nullptr;
}

void ForceKernels(const Kernels *set) {
    active = set;
}

}  // namespace anim::blit
