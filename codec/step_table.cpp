// Step tables for scaled decoding.
//
//   table   := count { count } 0x00 0x00
//   count   := byte                 ; alternately keep and drop, keep first
#include "codec/step_table.h"

#include "dib/packed_dib.h"
#include "support/report.h"

namespace anim::codec {

std::int32_t BuildStepTable(std::int32_t size, std::int32_t scale, StepTable &table) {
    StepRule rule(size, scale);
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
        const bool keep = rule.Next();
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
