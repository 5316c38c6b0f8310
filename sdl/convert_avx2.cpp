// The AVX2 conversion: 16 pixels a step, each eight fetched from the table
// by one gather. Compiled for the baseline target; only the function marked
// for AVX2 uses it, and it runs only when the CPU reports it.
#include "sdl/convert.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define ANIM_AVX2 __attribute__((target("avx2")))

namespace anim::sdl {
namespace {

constexpr std::size_t kStep = 16;
constexpr int kEntryBytes = 4;

ANIM_AVX2 void Row(std::uint8_t *out, const std::uint8_t *in, std::size_t count,
                   const ColourTable &table) {
    const auto *entries = reinterpret_cast<const int *>(table.data());
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        const __m128i indices = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m256i low = _mm256_cvtepu8_epi32(indices);
        const __m256i high = _mm256_cvtepu8_epi32(_mm_srli_si128(indices, 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i * kEntryBytes),
                            _mm256_i32gather_epi32(entries, low, kEntryBytes));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + (i + 8) * kEntryBytes),
                            _mm256_i32gather_epi32(entries, high, kEntryBytes));
    }
    // The ragged end of a row: fewer than one step's pixels.
    ScalarConvert().row(out + i * kEntryBytes, in + i, count - i, table);
}

constexpr ConvertKernel kAvx2{"avx2", Row};

}  // namespace

const ConvertKernel *Avx2Convert() {
    return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

}  // namespace anim::sdl

#else

namespace anim::sdl {
const ConvertKernel *Avx2Convert() {
    return nullptr;
}
}  // namespace anim::sdl

#endif
