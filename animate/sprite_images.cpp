// The sprite image table: what each image shows. An image is a part of a
// borrowed packed DIB or the bare rows of a raw frame's first rectangle.
//
// Raw frame read here (bytes, little-endian, any byte address):
//   frame   := header(32) entry(8){rectCount} pixels(dataSize)
//   header  := 04 20 rectCount(i16) dataSize(u32) compression(u16) ...
//   entry   := left(i16) top(i16) right(i16) bottom(i16)   ; inclusive
//   pixels  := the first entry's rows, bottom-up, each (width + 3) & ~3 bytes,
//              then the other entries'
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "animate.h"
#include "animate/engine.h"
#include "dib/packed_dib.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::animate {

namespace {

void ShowWholeDib(SpriteImage &image, BITMAPINFOHEADER *dib) {
    image.isFramePixels = 0;
    image.left = 0;
    image.top = 0;
    image.width = dib != nullptr ? dib->biWidth : 0;
    image.height = dib != nullptr ? dib->biHeight : 0;
    image.data = dib;
}

// Where a raw frame's first rectangle's rows start and its size, when the
// frame holds all of them; otherwise why it does not, for the trace.
struct FirstRect {
    std::size_t rowsAt = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    const char *refusal = nullptr;
};

FirstRect RawFirstRect(const std::uint8_t *bytes) {
    ANXFRAME header;
    std::memcpy(&header, bytes, sizeof header);
    if (header.compression != 0) return {.refusal = "compressed frame"};
    if (header.rectCount < 1) return {.refusal = "frame without rectangles"};
    ANXRECT first;
    std::memcpy(&first, bytes + sizeof(ANXFRAME), sizeof first);
    const std::int64_t width = std::int64_t{first.right} - first.left + 1;
    const std::int64_t height = std::int64_t{first.bottom} - first.top + 1;
    if (width <= 0 || height <= 0) return {.refusal = "empty first rectangle"};
    const auto rows = anim::platform::CheckedSize(anim::platform::RowStride(width), height);
    if (!rows || *rows > header.dataSize) return {.refusal = "pixel area too short"};
    const std::size_t rowsAt = sizeof(ANXFRAME) + std::size_t{sizeof(ANXRECT)} *
                                                      static_cast<std::size_t>(header.rectCount);
    return {.rowsAt = rowsAt, .width = width, .height = height};
}

}  // namespace

std::int32_t TakeImageSlot(EngineState *engine) {
    if (engine == nullptr || engine->images == nullptr) return kNoHandle;
    if (engine->imageCount >= kMaxImages) return kNoHandle;
    for (std::int32_t slot = 0; slot < kMaxImages; ++slot) {
        SpriteImage &image = engine->images[slot];
        if (image.inUse != 0) continue;
        ++engine->imageCount;
        image.inUse = 1;
        image.isFramePixels = 0;
        return slot;
    }
    return kNoHandle;
}

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API int32_t AddSpriteDib(EngineState *engine, BITMAPINFOHEADER *dib) {
    const std::int32_t slot = TakeImageSlot(engine);
    if (slot != kNoHandle) ShowWholeDib(engine->images[slot], dib);
    return slot;
}

ANIM_API void SetSpriteDib(EngineState *engine, int32_t image, BITMAPINFOHEADER *dib) {
    if (SpriteImage *i = UsedImage(engine, image)) ShowWholeDib(*i, dib);
}

ANIM_API void SetSpriteDibFromAnxFrameRect0(EngineState *engine, int32_t image, ANXFRAME *frame) {
    SpriteImage *target = UsedImage(engine, image);
    if (target == nullptr || frame == nullptr) return;
    auto *bytes = reinterpret_cast<std::uint8_t *>(frame);
    // Only a raw frame holds rows to point at, and only one whose pixel
    // area holds all the rows its first rectangle claims. The caller has no
    // result to test, so a refusal is traced with its reason.
    const FirstRect first = RawFirstRect(bytes);
    if (first.refusal != nullptr) {
        char text[96];
        std::snprintf(text, sizeof text, "SetSpriteDibFromAnxFrameRect0: %s.", first.refusal);
        ANIM_TRACE(kSource, text, anim::kTraceMissingArgument);
        return;
    }

    target->left = 0;
    target->top = 0;
    target->width = static_cast<std::int32_t>(first.width);
    target->height = static_cast<std::int32_t>(first.height);
    target->data = bytes + first.rowsAt;
    target->isFramePixels = 1;
}

ANIM_API void SetSpriteDibSizeFromRect(EngineState *engine, int32_t image, const RECT *rect) {
    SpriteImage *target = UsedImage(engine, image);
    if (target == nullptr || rect == nullptr) return;
    target->left = rect->left;
    target->top = rect->top;
    target->width = Saturate(std::int64_t{rect->right} - rect->left + 1);
    target->height = Saturate(std::int64_t{rect->bottom} - rect->top + 1);
}

ANIM_API int32_t DeleteSpriteDib(EngineState *engine, int32_t image) {
    if (engine == nullptr || engine->images == nullptr) return kSlotNotInUse;
    if (engine->imageCount == 0) return kTableEmpty;
    SpriteImage *target = UsedImage(engine, image);
    if (target == nullptr) return kSlotNotInUse;
    target->inUse = 0;
    --engine->imageCount;
    return 0;
}

ANIM_API uint8_t *GetSpritePDib(EngineState *engine, int32_t image) {
    SpriteImage *target = UsedImage(engine, image);
    if (target == nullptr || target->data == nullptr) return nullptr;
    auto *data = static_cast<std::uint8_t *>(target->data);
    return target->isFramePixels != 0 ? data : data + anim::dib::kPixelOffset;
}

ANIM_API void GetDibSize(EngineState *engine, int32_t image, int32_t *width, int32_t *height) {
    const SpriteImage *target = ImageSlot(engine, image);
    if (target == nullptr) return;
    if (width != nullptr) *width = target->width;
    if (height != nullptr) *height = target->height;
}

}  // extern "C"
