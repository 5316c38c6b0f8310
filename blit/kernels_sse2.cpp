// SSE2 kernels: 16 pixels a step, the scalar shape for the row ends.
#include "blit/kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#include <cstddef>

namespace anim::blit {
namespace {

constexpr std::uint32_t kLanes = 16;

inline __m128i Load(const std::uint8_t *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
inline void Store(std::uint8_t *p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}
// Per lane: where mask is set take a, else b.
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Rows are moved inline rather than through memcpy: sprite rows are short,
// where a call per row costs more than the move, and the library's own
// speed should not hang on how the C library treats long blocks.
void Copy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
          std::int32_t dstStride, std::int32_t srcStride) {
    if (width < kLanes) {
        ScalarKernels().copy(dst, src, width, height, dstStride, srcStride);
        return;
    }
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) Store(dst + i, Load(src + i));
        // The last step overlaps the previous one when the width is not a
        // multiple of the step; the bytes it repeats are the same.
        if (i < width) Store(dst + width - kLanes, Load(src + width - kLanes));
    }
}

void TransCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
               std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
               std::uint8_t key) {
    if (width < kLanes) {
        ScalarKernels().transCopy(dst, src, width, height, dstStride, srcStride, key);
        return;
    }
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            const __m128i s = Load(src + i);
            Store(dst + i, Select(_mm_cmpeq_epi8(s, keys), Load(dst + i), s));
        }
        if (i < width) {
            // The last step overlaps the previous one; a pixel done twice
            // comes out the same, since source and destination are apart.
            i = width - kLanes;
            const __m128i s = Load(src + i);
            Store(dst + i, Select(_mm_cmpeq_epi8(s, keys), Load(dst + i), s));
        }
    }
}

inline __m128i Reverse(__m128i v) {
    v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

void ReverseCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                 std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes)
            Store(dst + width - i - kLanes, Reverse(Load(src + i)));
        for (; i < width; ++i) dst[width - 1 - i] = src[i];
    }
}

void Fill(std::uint8_t *dst, std::uint32_t width, std::uint32_t height, std::int32_t dstStride,
          std::uint8_t colour) {
    if (width < kLanes) {
        ScalarKernels().fill(dst, width, height, dstStride, colour);
        return;
    }
    const __m128i colours = _mm_set1_epi8(static_cast<char>(colour));
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) Store(dst + i, colours);
        if (i < width) Store(dst + width - kLanes, colours);
    }
}

void Stretch2x(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
               std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    for (std::uint32_t r = 0; r < height;
         ++r, dst += 2 * std::ptrdiff_t{dstStride}, src += srcStride) {
        std::uint8_t *upper = dst + dstStride;
        std::uint32_t c = 0;
        for (; c + kLanes <= width; c += kLanes) {
            const __m128i v = Load(src + c);
            const __m128i lo = _mm_unpacklo_epi8(v, v), hi = _mm_unpackhi_epi8(v, v);
            Store(dst + 2 * c, lo);
            Store(dst + 2 * c + kLanes, hi);
            Store(upper + 2 * c, lo);
            Store(upper + 2 * c + kLanes, hi);
        }
        for (; c < width; ++c) {
            const std::uint8_t v = src[c];
            dst[2 * c] = dst[2 * c + 1] = upper[2 * c] = upper[2 * c + 1] = v;
        }
    }
}

void Shadow(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
            std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t colour) {
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    const __m128i colours = _mm_set1_epi8(static_cast<char>(colour));
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            Store(dst + i, Select(_mm_cmpeq_epi8(Load(src + i), keys), Load(dst + i), colours));
        }
        for (; i < width; ++i) {
            if (src[i] != key) dst[i] = colour;
        }
    }
}

// Lanes whose pattern bit is set, for steps that start at a multiple of 8
// pixels (the pattern repeats every 8).
inline __m128i PatternLanes(std::uint8_t pattern) {
    alignas(16) std::uint8_t lanes[kLanes];
    for (std::uint32_t k = 0; k < kLanes; ++k) lanes[k] = PatternBit(pattern, k) ? 0xFF : 0x00;
    return _mm_load_si128(reinterpret_cast<const __m128i *>(lanes));
}

void Haze(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
          std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t colour,
          std::uint8_t first, std::uint8_t second) {
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    const __m128i colours = _mm_set1_epi8(static_cast<char>(colour));
    const __m128i rowLanes[2] = {PatternLanes(first), PatternLanes(second)};
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        const __m128i effect = rowLanes[r % 2];
        const std::uint8_t pattern = (r % 2 == 0) ? first : second;
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            const __m128i s = Load(src + i);
            const __m128i drawn = Select(effect, colours, s);
            Store(dst + i, Select(_mm_cmpeq_epi8(s, keys), Load(dst + i), drawn));
        }
        for (; i < width; ++i) {
            if (src[i] != key) dst[i] = PatternBit(pattern, i) ? colour : src[i];
        }
    }
}

void Ghost(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
           std::int32_t dstStride, std::int32_t srcStride, std::uint8_t key, std::uint8_t first,
           std::uint8_t second) {
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    const __m128i rowLanes[2] = {PatternLanes(first), PatternLanes(second)};
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        const __m128i effect = rowLanes[r % 2];
        const std::uint8_t pattern = (r % 2 == 0) ? first : second;
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            const __m128i s = Load(src + i);
            const __m128i keep = _mm_or_si128(_mm_cmpeq_epi8(s, keys), effect);
            Store(dst + i, Select(keep, Load(dst + i), s));
        }
        for (; i < width; ++i) {
            if (src[i] != key && !PatternBit(pattern, i)) dst[i] = src[i];
        }
    }
}

Kernels MakeSse2() {
    Kernels k = ScalarKernels();
    k.name = "sse2";
    k.copy = Copy;
    k.transCopy = TransCopy;
    k.reverseCopy = ReverseCopy;
    k.fill = Fill;
    k.stretch2x = Stretch2x;
    k.shadow = Shadow;
    k.haze = Haze;
    k.ghost = Ghost;
    return k;  // the masks keep the scalar kernels: one byte already covers 8 pixels
}

}  // namespace

const Kernels *Sse2Kernels() {
    static const Kernels kernels = MakeSse2();
    return &kernels;
}

}  // namespace anim::blit

#else

namespace anim::blit {
const Kernels *Sse2Kernels() {
    return nullptr;
}
}  // namespace anim::blit

#endif
