// The libFuzzer entry of one target; the build names the target body in
// ANIMATE_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "targets.h"

#ifndef ANIMATE_FUZZ_TARGET
#error "ANIMATE_FUZZ_TARGET names the target body"
#endif

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    anim::fuzz::PrepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    return anim::fuzz::ANIMATE_FUZZ_TARGET(data, size);
}
