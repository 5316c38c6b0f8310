// The library's memory blocks: zero-filled, released with FREE, their size
// asked back from the pointer.
#include "animate.h"
#include "platform/platform.h"

extern "C" {

ANIM_API void *ALLOCATE(uint32_t size) {
    return anim::platform::AllocBlock(size);
}

ANIM_API void FREE(void *block) {
    anim::platform::FreeBlock(block);
}

}  // extern "C"
