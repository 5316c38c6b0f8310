// Widening palette pixels of fewer than 8 bits, and decoding run-length
// streams, into 8-bit rows. The byte grammar of both is in dib_file.cpp.
#include "dib/widen.h"

#include <algorithm>

namespace anim::dib {
namespace {

constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfPicture = 1;
constexpr std::uint8_t kMove = 2;
constexpr std::uint8_t kLowNibble = 0x0F;
constexpr int kNibbleBits = 4;

// Pixel k of a 4-bit run or literal: two a byte, the high nibble first.
constexpr std::uint8_t Nibble(std::uint8_t byte, std::uint32_t k) {
    return k % 2 == 0 ? static_cast<std::uint8_t>(byte >> kNibbleBits) : byte & kLowNibble;
}

// Where the next decoded pixel goes. A pixel placed past its row's end or
// above the top row is dropped rather than wrapped: the stream says where
// each pixel lies, and a stream that disagrees with the header is cut.
class Cursor {
  public:
    Cursor(std::int32_t width, std::int32_t height, std::int64_t stride,
           std::span<std::uint8_t> pixels)
        : width_(width), height_(height), stride_(stride), pixels_(pixels) {}

    bool InPicture() const { return row_ < height_; }
    void Put(std::uint8_t value) {
        if (x_ < width_ && row_ < height_)
            pixels_[static_cast<std::size_t>(row_ * stride_ + x_)] = value;
        ++x_;
    }
    void NextRow() {
        x_ = 0;
        ++row_;
    }
    void Move(std::uint8_t right, std::uint8_t up) {
        x_ += right;
        row_ += up;
    }

  private:
    std::int64_t width_;
    std::int64_t height_;
    std::int64_t stride_;
    std::span<std::uint8_t> pixels_;
    std::int64_t x_ = 0;
    std::int64_t row_ = 0;
};

// An absolute code's pixels; false when the stream ends inside them.
bool PutLiteral(std::span<const std::uint8_t> rest, std::uint8_t count, RunLength kind, Cursor &at,
                std::size_t &used) {
    const std::size_t bytes = kind == RunLength::kEightBit ? count : (count + 1u) / 2;
    const std::size_t present = std::min(bytes, rest.size());
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t byte = kind == RunLength::kEightBit ? k : k / 2;
        if (byte >= present) return false;
        at.Put(kind == RunLength::kEightBit ? rest[byte] : Nibble(rest[byte], k));
    }
    used = bytes + (bytes & 1);  // literals end on a 16-bit boundary
    return present == bytes;
}

}  // namespace

void WidenRow(std::span<std::uint8_t> row, std::int32_t width, std::uint16_t bits) {
    const std::uint32_t perByte = 8u / bits;
    const auto mask = static_cast<std::uint8_t>((1u << bits) - 1);
    // Backwards, so that in place works: pixel x comes from byte x / perByte,
    // which lies at or left of x, where no pixel has been written yet.
    for (std::int32_t x = width - 1; x >= 0; --x) {
        const auto ux = static_cast<std::uint32_t>(x);
        const std::uint32_t shift = 8 - bits * (ux % perByte + 1);
        row[ux] = static_cast<std::uint8_t>(row[ux / perByte] >> shift) & mask;
    }
    std::fill(row.begin() + std::max(width, 0), row.end(), std::uint8_t{0});
}

void DecodeRunLength(std::span<const std::uint8_t> stream, RunLength kind, std::int32_t width,
                     std::int32_t height, std::int64_t stride, std::span<std::uint8_t> pixels) {
    Cursor at(width, height, stride, pixels);
    std::size_t i = 0;
    while (at.InPicture() && i + 2 <= stream.size()) {
        const std::uint8_t count = stream[i];
        const std::uint8_t value = stream[i + 1];
        i += 2;
        if (count != kEscape) {
            for (std::uint32_t k = 0; k < count; ++k) {
                at.Put(kind == RunLength::kEightBit ? value : Nibble(value, k));
            }
        } else if (value == kEndOfLine) {
            at.NextRow();
        } else if (value == kEndOfPicture) {
            return;
        } else if (value == kMove) {
            if (i + 2 > stream.size()) return;
            at.Move(stream[i], stream[i + 1]);
            i += 2;
        } else {
            std::size_t used = 0;
            if (!PutLiteral(stream.subspan(i), value, kind, at, used)) return;
            i += used;
        }
    }
}

}  // namespace anim::dib
