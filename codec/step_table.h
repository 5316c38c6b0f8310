// Step tables: which source columns or rows survive when a picture is
// scaled down to a percentage.
//
//   table   := count { count } 0x00 0x00
//   count   := byte                 ; keep, drop, keep, drop, ... (first is a
//                                   ; keep count, 0 when position 0 drops)
//
// Readers take the counts in (keep, drop) pairs until the output size is
// reached; the pair (0, 0) is the end of the table.
#pragma once

#include <array>
#include <cstdint>

namespace anim::codec {

// A side of at most kMaxDecodedSide positions needs up to 256 counts plus the
// two closing zeros (258 bytes); the tables are sized with room to spare so
// that no such side is refused.
inline constexpr std::size_t kStepTableSize = 512;
using StepTable = std::array<std::uint8_t, kStepTableSize>;

// size * scale / 100 rounded down: the scaled size of one side.
constexpr std::int32_t ScaledSide(std::int32_t size, std::int32_t scale) {
    return static_cast<std::int32_t>(std::int64_t{size} * scale / 100);
}

// The keep-or-drop decision for each position of a side in turn. Kept
// positions are spread evenly, starting half a step in so that they sit in
// the middle of their groups rather than at the front.
class StepRule {
  public:
    constexpr StepRule(std::int32_t size, std::int32_t scale)
        : size_(size), scaled_(ScaledSide(size, scale)), accumulator_(size / 2) {}

    // Whether the next position is kept.
    constexpr bool Next() {
        accumulator_ += scaled_;
        // At full size every position is kept. The accumulator alone says so
        // for sides of 2 or more; a side of 1 would reach its size exactly
        // and keep nothing, leaving the output pixel that the scaled size
        // promises unwritten.
        const bool keep = accumulator_ > size_ || scaled_ == size_;
        if (accumulator_ > size_) accumulator_ -= size_;
        return keep;
    }
    // Positions kept in all.
    constexpr std::int32_t scaled() const { return scaled_; }

  private:
    std::int32_t size_;
    std::int32_t scaled_;
    std::int32_t accumulator_;
};

// Fills table for a side of size positions (0 to kMaxDecodedSide) at scale
// (1 to 100); returns the number of positions kept. A count that would not
// fit a byte, or a table that would not fit kStepTableSize, is a broken
// caller and ends the process through ReportAssertion. The kept count is
// always ScaledSide(size, scale).
std::int32_t BuildStepTable(std::int32_t size, std::int32_t scale, StepTable &table);

}  // namespace anim::codec
