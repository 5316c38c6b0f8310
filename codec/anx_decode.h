// Expanding compressed Anx frames: the C++ entry point behind
// AnxUnKOVRLEFrame, with optional bounds on the input blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "animate.h"

namespace anim::codec {

// Byte count meaning "the block is as long as its header and stream say".
// The exported decoder has no way to learn a frame's length, so it reads
// with this; callers that know the lengths (a loaded file's directory)
// pass them, and every read past them ends the decode.
inline constexpr std::size_t kUnboundedSize = SIZE_MAX;

struct DecodeRequest {
    const void *frame = nullptr;
    std::size_t frameSize = kUnboundedSize;  // bytes of the frame block
    const void *overlay = nullptr;           // number-overlay frame or null
    std::size_t overlaySize = kUnboundedSize;
    std::uint16_t *table = nullptr;  // entry 0 is changed and restored in line decoding
    void *buffer = nullptr;          // null: a new block from ALLOCATE
    std::uint32_t bufferSize = 0;
    std::int32_t scale = 100;
    std::int32_t numberIndex = 0;
    std::uint32_t numberColour = 0;
    bool mirror = false;
    std::int32_t streamKind = ANX_STREAM_WHOLE_FRAME;
};

// The expanded raw frame, or null when the request is refused; a refused
// request has written nothing into a caller's buffer.
ANXFRAME *Expand(const DecodeRequest &request);

}  // namespace anim::codec
