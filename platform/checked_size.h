// One place where sizes read from files, headers and callers are combined.
// Every size that leads to an allocation or an index passes through here, so
// that an overflow is a refusal, never a short block.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace anim::platform {

// a * b + c as a byte count no larger than the memory layer's limit, or
// nothing when any step overflows or goes past that limit. Negative inputs
// are refused.
constexpr std::optional<std::uint32_t> CheckedSize(std::int64_t a, std::int64_t b = 1,
                                                   std::int64_t c = 0) {
    if (a < 0 || b < 0 || c < 0) return std::nullopt;
    constexpr auto kLimit = static_cast<std::int64_t>(kMaxBlockSize);
    if (a != 0 && b > kLimit / a) return std::nullopt;
    std::int64_t product = a * b;
    if (product > kLimit - c) return std::nullopt;
    return static_cast<std::uint32_t>(product + c);
}

}  // namespace anim::platform
