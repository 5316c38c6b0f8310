// The objects behind the display handles, shared by the device-context and
// palette halves of the in-memory display. Handles are checked against the
// live sets before use, so a stale or foreign handle is refused rather than
// followed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_set>

#include "animate.h"
#include "platform/display.h"

struct AnimPalette {
    std::uint32_t count;
    std::array<PALETTEENTRY, 256> entries;
};

// What a window's presenter has not seen yet: the areas written into the
// window since it last asked, in the order written, and the colours the
// window showed then.
struct AnimWindowRecord {
    std::array<RECT, anim::platform::kRecordedWrites> writes;
    std::size_t count;
    std::array<RGBQUAD, 256> shownColours;
    std::uint32_t colourSerial;
};

struct AnimDeviceContext {
    enum class Kind { kScreen, kWindow, kMemory };
    Kind kind;
    // Window pixels (top row first); null for the screen and memory contexts.
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    std::uint8_t *pixels;
    // Memory contexts: the bitmap selected now (the stock one at first).
    anim::platform::HBITMAP bitmap;
    HPALETTE palette;
    bool realised;
    AnimWindowRecord record;  // windows only
};

struct anim::platform::AnimBitmap {
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    bool topDown;
    bool stock;
    std::uint8_t *bits;               // from AllocBlock; null for the stock bitmap
    AnimDeviceContext *selectedInto;  // at most one context, as in GDI; unused for stock
    std::array<RGBQUAD, 256> colors;
};

namespace anim::platform::display {

inline constexpr std::uint32_t kPaletteSize = 256;

struct State {
    std::unordered_set<AnimDeviceContext *> contexts;
    std::unordered_set<AnimPalette *> palettes;
    std::unordered_set<AnimBitmap *> bitmaps;
    AnimDeviceContext screen{};
    AnimBitmap stockBitmap{};
    std::array<PALETTEENTRY, 256> system{};
    std::uint32_t systemUse = kSysPalStatic;
    std::int32_t bitsPerPixel = 8;
    bool topDown = true;
    BITMAPINFO lastDibCopyInfo{};
};

// The one display of the process. Never destroyed, so that objects a game
// still holds at exit stay reachable instead of dangling.
State &TheState();

// Live-handle lookups: null for null, unknown or deleted handles.
AnimDeviceContext *FindContext(HDC dc);
AnimPalette *FindPalette(HPALETTE palette);
AnimBitmap *FindBitmap(HBITMAP bitmap);

// Writes the 20 static colours into the system palette.
void RestoreStaticColours(State &state);

// Every context that has palette selected forgets it.
void DeselectEverywhere(AnimPalette *palette);

// The colours a context shows: its realised palette where it has one,
// the system palette elsewhere.
void ShownColours(const AnimDeviceContext &context, std::span<RGBQUAD, kPaletteSize> out);

// Records that the library wrote the pixels (left..right, top..bottom,
// inclusive) of a window; the part outside the window is dropped.
void NoteWindowWrite(AnimDeviceContext &window, std::int64_t left, std::int64_t top,
                     std::int64_t right, std::int64_t bottom);
// A fresh record: nothing written, the colours shown now.
void StartWindowRecord(AnimDeviceContext &window);

}  // namespace anim::platform::display
