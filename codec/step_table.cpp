// Step tables for scaled decoding.
//
//   table   := count { count } 0x00 0x00
//   count   := byte                 ; alternately keep and drop, keep first
#include "codec/step_table.h"

#include "dib/packed_dib.h"
#include "support/report.h"

namespace anim::codec {

std::int32_t BuildStepTable(std::int32_t size, std::int32_t scale, StepTable &table) {
    const std::int32_t scaled = ScaledSide(size, scale);
    // Spreads the kept positions evenly, starting half a step in so that the
    // kept ones sit in the middle of their groups rather than at the front.
    std::int32_t accumulator = size / 2;
    bool keeping = true;
    std::int32_t count = 0;
    std::int32_t kept = 0;
    std::size_t length = 0;
    auto emit = [&](std::int32_t value) {
        ANIM_ASSERT(value < 256, dib::kSource);
        // Two closing zeros must still fit behind this count.
        ANIM_ASSERT(length + 3 <= kStepTableSize, dib::kSource);
        table[length++] = static_cast<std::uint8_t>(value);
    };
    for (std::int32_t position = 0; position < size; ++position) {
        accumulator += scaled;
        // At full size every position is kept. The accumulator alone says so
        // for sides of 2 or more; a side of 1 would reach its size exactly
        // and keep nothing, leaving the output pixel that the scaled size
        // promises unwritten.
        const bool keep = accumulator > size || scaled == size;
        if (accumulator > size) accumulator -= size;
        kept += keep ? 1 : 0;
        if (keep == keeping) {
            ++count;
            ANIM_ASSERT(count < 256, dib::kSource);
        } else {
            emit(count);
            count = 1;
            keeping = keep;
        }
    }
    emit(count);
    table[length++] = 0;
    table[length] = 0;
    return kept;
}

}  // namespace anim::codec
