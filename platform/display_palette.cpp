// Palettes and the system palette of the in-memory display. Entries are
// mapped by index only: the library never matches colours, so neither does
// the display it runs on.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <span>

#include "animate.h"
#include "platform/display.h"
#include "platform/display_objects.h"

namespace anim::platform {
namespace display {
namespace {

constexpr PALETTEENTRY kStaticColours[2 * kStaticColoursPerEnd] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

// The system entries a realised palette may take: all of them once the
// static colours are switched off, else only those between the two ends.
std::uint32_t FirstRealisable(const State &state) {
    return state.systemUse == kSysPalNoStatic ? 0 : kStaticColoursPerEnd;
}
std::uint32_t EndRealisable(const State &state) {
    return state.systemUse == kSysPalNoStatic ? kPaletteSize : kPaletteSize - kStaticColoursPerEnd;
}

void MapIntoSystem(State &state, const AnimPalette &palette, std::uint32_t first,
                   std::uint32_t end) {
    first = std::max(first, FirstRealisable(state));
    end = std::min({end, EndRealisable(state), palette.count});
    for (std::uint32_t i = first; i < end; ++i) {
        const PALETTEENTRY &e = palette.entries[i];
        state.system[i] = PALETTEENTRY{e.peRed, e.peGreen, e.peBlue, 0};
    }
}

bool RealisedSomewhere(const State &state, const AnimPalette *palette) {
    return std::any_of(
        state.contexts.begin(), state.contexts.end(),
        [&](const AnimDeviceContext *dc) { return dc->palette == palette && dc->realised; });
}

}  // namespace

void RestoreStaticColours(State &state) {
    std::copy_n(kStaticColours, kStaticColoursPerEnd, state.system.begin());
    std::copy_n(kStaticColours + kStaticColoursPerEnd, kStaticColoursPerEnd,
                state.system.end() - kStaticColoursPerEnd);
}

void ShownColours(const AnimDeviceContext &context, std::span<RGBQUAD, kPaletteSize> out) {
    const State &state = TheState();
    const AnimPalette *shown = context.realised ? context.palette : nullptr;
    for (std::uint32_t i = 0; i < kPaletteSize; ++i) {
        const PALETTEENTRY &e =
            shown != nullptr && i < shown->count ? shown->entries[i] : state.system[i];
        out[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
}

void DeselectEverywhere(AnimPalette *palette) {
    for (AnimDeviceContext *dc : TheState().contexts) {
        if (dc->palette != palette) continue;
        dc->palette = nullptr;
        dc->realised = false;
    }
}

}  // namespace display

using display::FindContext;
using display::FindPalette;
using display::kPaletteSize;
using display::TheState;

std::uint32_t SetSystemPaletteUse(HDC dc, std::uint32_t use) {
    if (FindContext(dc) == nullptr || (use != kSysPalStatic && use != kSysPalNoStatic)) return 0;
    display::State &state = TheState();
    const std::uint32_t previous = state.systemUse;
    state.systemUse = use;
    if (use == kSysPalStatic) display::RestoreStaticColours(state);
    return previous;
}

std::uint32_t GetSystemPaletteEntries(HDC dc, std::uint32_t first, std::uint32_t count,
                                      PALETTEENTRY *out) {
    if (FindContext(dc) == nullptr || out == nullptr || first >= kPaletteSize) return 0;
    const std::uint32_t n = std::min(count, kPaletteSize - first);
    std::copy_n(TheState().system.begin() + first, n, out);
    return n;
}

HPALETTE CreatePalette(const LOGPALETTE *lp) {
    if (lp == nullptr || lp->palNumEntries == 0 || lp->palNumEntries > kPaletteSize) return nullptr;
    auto *palette = new (std::nothrow) AnimPalette{};
    if (palette == nullptr) return nullptr;
    palette->count = lp->palNumEntries;
    // The entries run on past the one the record declares.
    const auto *entries =
        reinterpret_cast<const unsigned char *>(lp) + offsetof(LOGPALETTE, palPalEntry);
    std::memcpy(palette->entries.data(), entries, palette->count * sizeof(PALETTEENTRY));
    try {
        TheState().palettes.insert(palette);
    } catch (const std::bad_alloc &) {
        delete palette;
        return nullptr;
    }
    return palette;
}

std::uint32_t GetPaletteEntries(HPALETTE palette, std::uint32_t first, std::uint32_t count,
                                PALETTEENTRY *out) {
    const AnimPalette *p = FindPalette(palette);
    if (p == nullptr) return 0;
    if (out == nullptr) return p->count;
    if (first >= p->count) return 0;
    const std::uint32_t n = std::min(count, p->count - first);
    std::copy_n(p->entries.begin() + first, n, out);
    return n;
}

bool AnimatePalette(HPALETTE palette, std::uint32_t first, std::uint32_t count,
                    const PALETTEENTRY *entries) {
    AnimPalette *p = FindPalette(palette);
    if (p == nullptr || entries == nullptr || first >= p->count) return false;
    const std::uint32_t n = std::min(count, p->count - first);
    for (std::uint32_t k = 0; k < n; ++k) {
        PALETTEENTRY &target = p->entries[first + k];
        if ((target.peFlags & kPcReserved) != 0) target = entries[k];
    }
    display::State &state = TheState();
    if (display::RealisedSomewhere(state, p)) display::MapIntoSystem(state, *p, first, first + n);
    return true;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool) {
    AnimDeviceContext *context = FindContext(dc);
    // Null stands for the default palette: selecting it deselects.
    if (context == nullptr || (palette != nullptr && FindPalette(palette) == nullptr)) {
        return nullptr;
    }
    HPALETTE previous = context->palette;
    context->palette = palette;
    context->realised = false;
    return previous;
}

std::uint32_t RealizePalette(HDC dc) {
    AnimDeviceContext *context = FindContext(dc);
    if (context == nullptr || context->palette == nullptr) return 0;
    context->realised = true;
    display::MapIntoSystem(TheState(), *context->palette, 0, kPaletteSize);
    return context->palette->count;
}

void DeletePalette(HPALETTE palette) {
    AnimPalette *doomed = FindPalette(palette);
    if (doomed == nullptr) return;
    display::DeselectEverywhere(doomed);
    TheState().palettes.erase(doomed);
    delete doomed;
}

}  // namespace anim::platform

extern "C" {

ANIM_API void AnimWindowColors(HDC dc, RGBQUAD colors[256]) {
    using namespace anim::platform;
    const AnimDeviceContext *context = display::FindContext(dc);
    if (context == nullptr || colors == nullptr) return;
    display::ShownColours(*context,
                          std::span<RGBQUAD, display::kPaletteSize>(colors, display::kPaletteSize));
}

ANIM_API HPALETTE AnimCreatePalette(const LOGPALETTE *lp) {
    return anim::platform::CreatePalette(lp);
}

ANIM_API uint32_t AnimGetPaletteEntries(HPALETTE pal, uint32_t first, uint32_t count,
                                        PALETTEENTRY *out) {
    return anim::platform::GetPaletteEntries(pal, first, count, out);
}

ANIM_API void AnimDeletePalette(HPALETTE pal) {
    anim::platform::DeletePalette(pal);
}

}  // extern "C"
