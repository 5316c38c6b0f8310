// AVX2 kernels for the copies that dominate painting: 32 pixels a step.
// Compiled for the baseline target; only the functions marked for AVX2 use
// it, and they run only when the CPU reports it.
#include "blit/kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>

#define ANIM_AVX2 __attribute__((target("avx2")))

namespace anim::blit {
namespace {

constexpr std::uint32_t kLanes = 32;

ANIM_AVX2 inline __m256i Load(const std::uint8_t *p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}
ANIM_AVX2 inline void Store(std::uint8_t *p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
}

ANIM_AVX2 void Copy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                    std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    if (width < kLanes) {
        Sse2Kernels()->copy(dst, src, width, height, dstStride, srcStride);
        return;
    }
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) Store(dst + i, Load(src + i));
        if (i < width) Store(dst + width - kLanes, Load(src + width - kLanes));  // overlapping tail
    }
}

ANIM_AVX2 void Fill(std::uint8_t *dst, std::uint32_t width, std::uint32_t height,
                    std::int32_t dstStride, std::uint8_t colour) {
    if (width < kLanes) {
        Sse2Kernels()->fill(dst, width, height, dstStride, colour);
        return;
    }
    const __m256i colours = _mm256_set1_epi8(static_cast<char>(colour));
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) Store(dst + i, colours);
        if (i < width) Store(dst + width - kLanes, colours);
    }
}

ANIM_AVX2 void TransCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                         std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
                         std::uint8_t key) {
    if (width < kLanes) {
        Sse2Kernels()->transCopy(dst, src, width, height, dstStride, srcStride, key);
        return;
    }
    const __m256i keys = _mm256_set1_epi8(static_cast<char>(key));
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            const __m256i s = Load(src + i);
            Store(dst + i, _mm256_blendv_epi8(s, Load(dst + i), _mm256_cmpeq_epi8(s, keys)));
        }
        if (i < width) {
            // Overlapping last step: a pixel done twice comes out the same.
            i = width - kLanes;
            const __m256i s = Load(src + i);
            Store(dst + i, _mm256_blendv_epi8(s, Load(dst + i), _mm256_cmpeq_epi8(s, keys)));
        }
    }
}

ANIM_AVX2 void ReverseCopy(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                           std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    const __m256i reverseLanes =
        _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11,
                         10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    for (std::uint32_t r = 0; r < height; ++r, dst += dstStride, src += srcStride) {
        std::uint32_t i = 0;
        for (; i + kLanes <= width; i += kLanes) {
            const __m256i v = _mm256_shuffle_epi8(Load(src + i), reverseLanes);
            Store(dst + width - i - kLanes, _mm256_permute2x128_si256(v, v, 1));
        }
        for (; i < width; ++i) dst[width - 1 - i] = src[i];
    }
}

ANIM_AVX2 void Stretch2x(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                         std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride) {
    for (std::uint32_t r = 0; r < height;
         ++r, dst += 2 * std::ptrdiff_t{dstStride}, src += srcStride) {
        std::uint8_t *upper = dst + dstStride;
        std::uint32_t c = 0;
        for (; c + kLanes <= width; c += kLanes) {
            const __m256i v = Load(src + c);
            const __m256i lo = _mm256_unpacklo_epi8(v, v), hi = _mm256_unpackhi_epi8(v, v);
            // unpack works per 128-bit lane; put the four doubled quarters in order.
            const __m256i first = _mm256_permute2x128_si256(lo, hi, 0x20);
            const __m256i second = _mm256_permute2x128_si256(lo, hi, 0x31);
            Store(dst + 2 * c, first);
            Store(dst + 2 * c + kLanes, second);
            Store(upper + 2 * c, first);
            Store(upper + 2 * c + kLanes, second);
        }
        for (; c < width; ++c) {
            const std::uint8_t v = src[c];
            dst[2 * c] = dst[2 * c + 1] = upper[2 * c] = upper[2 * c + 1] = v;
        }
    }
}

Kernels MakeAvx2() {
    Kernels k = *Sse2Kernels();
    k.name = "avx2";
    k.copy = Copy;
    k.fill = Fill;
    k.transCopy = TransCopy;
    k.reverseCopy = ReverseCopy;
    k.stretch2x = Stretch2x;
    return k;
}

}  // namespace

const Kernels *Avx2Kernels() {
    if (!__builtin_cpu_supports("avx2")) return nullptr;
    static const Kernels kernels = MakeAvx2();
    return &kernels;
}

}  // namespace anim::blit

#else

namespace anim::blit {
const Kernels *Avx2Kernels() {
    return nullptr;
}
}  // namespace anim::blit

#endif
