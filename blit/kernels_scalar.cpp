// Portable kernels: the reference shape every vector set is tested against.
#include <array>
#include <cstddef>
#include <cstring>

#include "blit/kernels.h"

namespace anim::blit {
namespace {

constexpr std::uint32_t kGroup = 4;
constexpr std::uint32_t kMaskGroup = 8;

inline std::uint32_t Replicate(std::uint8_t v) {
    return 0x01010101u * v;
}

void Copy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
          std::int32_t dstStride, std::int32_t srcStride) {
    const std::uint32_t words = width / kGroup, rest = width % kGroup;
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint8_t *d = dst;
        const std::uint8_t *s = src;
        for (std::uint32_t i = 0; i < words; ++i, d += kGroup, s += kGroup)
            std::memcpy(d, s, kGroup);
        for (std::uint32_t i = 0; i < rest; ++i) *d++ = *s++;
    }
}

void TransCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
               std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
               std::uint8_t key) {
    const std::uint32_t groups = width / kGroup, rest = width % kGroup;
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint8_t *d = dst;
        const std::uint8_t *s = src;
        for (std::uint32_t g = 0; g < groups; ++g, d += kGroup, s += kGroup) {
            if (s[0] != key) d[0] = s[0];
            if (s[1] != key) d[1] = s[1];
            if (s[2] != key) d[2] = s[2];
            if (s[3] != key) d[3] = s[3];
        }
        for (std::uint32_t i = 0; i < rest; ++i) {
            if (s[i] != key) d[i] = s[i];
        }
    }
}

void ReverseCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                 std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint8_t *d = dst + width - 1;
        for (std::uint32_t i = 0; i < width; ++i) *d-- = src[i];
    }
}

void Fill(std::uint8_t *dst, std::uint32_t width, std::uint32_t height, std::int32_t dstStride,
          std::uint8_t colour) {
    const std::uint32_t word = Replicate(colour);
    const std::uint32_t words = width / kGroup, rest = width % kGroup;
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride) {
        std::uint8_t *d = dst;
        for (std::uint32_t i = 0; i < words; ++i, d += kGroup) std::memcpy(d, &word, kGroup);
        for (std::uint32_t i = 0; i < rest; ++i) *d++ = colour;
    }
}

void Stretch2x(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
               std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    for (std::uint32_t r = 0; r < height;
         ++r, dst += 2 * std::ptrdiff_t{dstStride}, src += srcStride) {
        std::uint8_t *upper = dst + dstStride;
        for (std::uint32_t c = 0; c < width; ++c) {
            const std::uint8_t v = src[c];
            dst[2 * c] = dst[2 * c + 1] = v;
            upper[2 * c] = upper[2 * c + 1] = v;
        }
    }
}

void Shadow(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
            std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t colour) {
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        for (std::uint32_t i = 0; i < width; ++i) {
            if (src[i] != key) dst[i] = colour;
        }
    }
}

void Haze(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
          std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t colour,
          std::uint8_t first, std::uint8_t second) {
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint8_t running = (r % 2 == 0) ? first : second;
        for (std::uint32_t i = 0; i < width; ++i) {
            if (src[i] != key) dst[i] = (running & 1u) ? colour : src[i];
            running = static_cast<std::uint8_t>(running << 1 | running >> 7);
        }
    }
}

void Ghost(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
           std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t first,
           std::uint8_t second) {
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint8_t running = (r % 2 == 0) ? first : second;
        for (std::uint32_t i = 0; i < width; ++i) {
            if (src[i] != key && !(running & 1u)) dst[i] = src[i];
            running = static_cast<std::uint8_t>(running << 1 | running >> 7);
        }
    }
}

// Entry n keeps byte k (k = 0 at the lowest address) when bit 3 - k of n is
// set: one nibble of a mask byte masks four pixels at once.
constexpr std::array<std::array<std::uint8_t, 4>, 16> kNibbleMasks = [] {
    std::array<std::array<std::uint8_t, 4>, 16> table{};
    for (int n = 0; n < 16; ++n)
        for (int k = 0; k < 4; ++k) table[n][k] = ((n >> (3 - k)) & 1) ? 0xFF : 0x00;
    return table;
}();

inline void AndFour(std::uint8_t *d, std::uint32_t nibble) {
    std::uint32_t pixels, keep;
    std::memcpy(&pixels, d, sizeof pixels);
    std::memcpy(&keep, kNibbleMasks[nibble].data(), sizeof keep);
    pixels &= keep;
    std::memcpy(d, &pixels, sizeof pixels);
}

template <bool kWidened>
void ZeroMask(std::uint8_t *dst, const std::uint8_t *mask, std::uint32_t width,
              std::uint32_t height, std::int32_t dstStride, std::int32_t maskStride) {
    const std::uint32_t groups = width / kMaskGroup, rest = width % kMaskGroup;
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, mask += maskStride) {
        std::uint8_t *d = dst;
        std::uint32_t carry = 0;  // the previous mask byte's last (rightmost) bit
        auto next_mask = [&](std::uint32_t g) {
            std::uint32_t m = mask[g];
            if (kWidened) {
                std::uint32_t widened = (m | m >> 1 | carry << 7) & 0xFFu;
                carry = m & 1u;
                m = widened;
            }
            return m;
        };
        for (std::uint32_t g = 0; g < groups; ++g, d += kMaskGroup) {
            const std::uint32_t m = next_mask(g);
            AndFour(d, m >> 4);
            AndFour(d + 4, m & 0xFu);
        }
        if (rest != 0) {
            const std::uint32_t m = next_mask(groups);
            for (std::uint32_t i = 0; i < rest; ++i) {
                if (!((m >> (7 - i)) & 1u)) d[i] = 0;
            }
        }
    }
}

constexpr Kernels kScalar = {
    "scalar", Copy, TransCopy, ReverseCopy,     Fill,           Stretch2x,
    Shadow,   Haze, Ghost,     ZeroMask<false>, ZeroMask<true>,
};

}  // namespace

const Kernels &ScalarKernels() {
    return kScalar;
}

}  // namespace anim::blit
