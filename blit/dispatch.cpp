// Picks the kernel set once, by what the CPU offers.
#include "blit/kernels.h"

namespace anim::blit {

const Kernels &ActiveKernels() {
    static const Kernels &active = [] () -> const Kernels & {
        if (const Kernels *k = Avx2Kernels()) return *k;
        if (const Kernels *k = Sse2Kernels()) return *k;
        return ScalarKernels();
    }();
    return active;
}

}  // namespace anim::blit
