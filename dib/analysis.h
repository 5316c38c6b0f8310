// Whole-DIB analysis and editing: the box of the non-zero pixels, trimming,
// the pixel checksum, difference DIBs, template cell sizes, cutting, padding
// and filling. The exports are thin shells over these.
#pragma once

#include <cstdint>
#include <optional>

#include "animate.h"
#include "dib/packed_dib.h"

namespace anim::dib {

// Columns left..right and stored rows low..high (counted from the bottom).
struct MinRect {
    std::int32_t left;
    std::int32_t right;
    std::int32_t low;
    std::int32_t high;
};

// The box of the non-zero pixels; an all-zero picture gives the inverted
// start box. Nothing when the DIB is compressed or malformed.
std::optional<MinRect> FindMinRect(const BITMAPINFOHEADER *dib);

// A new DIB of rect (or of the non-zero box), with dib's header and colours;
// dib is released when one is returned. origin is written whenever the kept
// area is known, even when the result is null.
BITMAPINFOHEADER *Trim(BITMAPINFOHEADER *dib, const RECT *rect, POINT &origin);

// CRC-16/ARC of each row's pixels in stored order.
std::uint16_t PixelChecksum(const BITMAPINFOHEADER &dib, const Geometry &g);

BITMAPINFOHEADER *DeltaOffset(BITMAPINFOHEADER *fresh, std::int32_t x, std::int32_t y,
                              BITMAPINFOHEADER *old);

// Cell width and height of a template sheet.
std::optional<POINT> TemplateSteps(const BITMAPINFOHEADER *dib);

BITMAPINFOHEADER *CopyRect(const BITMAPINFOHEADER *dib, const RECT &rect, std::int32_t &empty);
BITMAPINFOHEADER *Pad(const BITMAPINFOHEADER *dib, std::int32_t left, std::int32_t top,
                      std::int32_t right, std::int32_t bottom);
bool FillRect(const BITMAPINFOHEADER &header, std::uint8_t *bits, const RECT &rect,
              std::uint32_t colour);

}  // namespace anim::dib
