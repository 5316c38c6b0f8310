// Converting rows of 8-bit window pixels to the texture's 32-bit pixels
// through one 256-entry table: a scalar kernel and vector kernels, picked
// once by what the CPU offers, each giving the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace anim::sdl {

inline constexpr std::size_t kColours = 256;

// Each index's ARGB8888 pixel: 0xAARRGGBB, stored in the CPU's byte order,
// as SDL lays out a texture of that format.
using ColourTable = std::array<std::uint32_t, kColours>;

// Writes count pixels (4 bytes each) at out for the indices at in.
using ConvertRow = void (*)(std::uint8_t *out, const std::uint8_t *in, std::size_t count,
                            const ColourTable &table);

struct ConvertKernel {
    const char *name;
    ConvertRow row;
};

const ConvertKernel &ScalarConvert();
// Null where the CPU or the compiler lacks AVX2.
const ConvertKernel *Avx2Convert();

// Every kernel this CPU runs, the scalar reference first, the fastest last.
std::span<const ConvertKernel *const> AvailableConverts();
// The fastest, chosen on first use.
const ConvertKernel &ActiveConvert();

}  // namespace anim::sdl
