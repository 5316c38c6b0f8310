// Sprite templates: sheets holding many sprite images side by side, from
// which images are cut by rectangle.
#include "animate.h"
#include "animate/engine.h"

namespace anim::animate {

namespace {

// Takes the lowest free template slot for dib (which may be null: a sheet
// that could not be read still holds its slot).
std::int32_t TakeTemplateSlot(EngineState *engine, BITMAPINFOHEADER *dib) {
    if (engine->templateCount >= kMaxTemplates) return kNoHandle;
    for (std::int32_t slot = 0; slot < kMaxTemplates; ++slot) {
        if (engine->templates[slot] != nullptr) continue;
        ++engine->templateCount;
        engine->templates[slot] = dib;
        return slot;
    }
    return kNoHandle;
}

// The template's sheet, when the handle is below the number taken and the
// slot holds one.
BITMAPINFOHEADER *Sheet(EngineState *engine, std::int32_t templ) {
    if (templ < 0 || templ >= engine->templateCount || templ >= kMaxTemplates) return nullptr;
    return engine->templates[templ];
}

void ShowPart(SpriteImage &image, BITMAPINFOHEADER *sheet, std::int32_t left, std::int32_t top,
              std::int32_t width, std::int32_t height) {
    image.left = left;
    image.top = top;
    image.width = width;
    image.height = height;
    image.data = sheet;
    image.isFramePixels = 0;
}

void ReleaseTemplateSlot(EngineState *engine, std::int32_t templ) {
    engine->templates[templ] = nullptr;
    if (engine->templateCount > 0) --engine->templateCount;
}

bool ValidTemplate(const EngineState *engine, std::int32_t templ) {
    return engine != nullptr && templ >= 0 && templ < kMaxTemplates;
}

}  // namespace

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API int32_t OpenSpriteTemplate(EngineState *engine, const char *fileName) {
    if (engine == nullptr || engine->templateCount >= kMaxTemplates) return kNoHandle;
    BITMAPINFOHEADER *dib = OpenDIB(fileName);
    const std::int32_t slot = TakeTemplateSlot(engine, dib);
    if (slot == kNoHandle) DeleteDIB(dib);
    return slot;
}

ANIM_API int32_t AddSpriteTemplate(EngineState *engine, BITMAPINFOHEADER *dib) {
    if (engine == nullptr) return kNoHandle;
    return TakeTemplateSlot(engine, dib);
}

ANIM_API void SetSpriteTemplate(EngineState *engine, int32_t templ, BITMAPINFOHEADER *dib) {
    if (!ValidTemplate(engine, templ)) return;
    engine->templates[templ] = dib;
}

ANIM_API void DeleteSpriteTemplate(EngineState *engine, int32_t templ) {
    if (!ValidTemplate(engine, templ)) return;
    ReleaseTemplateSlot(engine, templ);
}

ANIM_API void CloseSpriteTemplate(EngineState *engine, int32_t templ) {
    if (!ValidTemplate(engine, templ)) return;
    DeleteDIB(engine->templates[templ]);
    ReleaseTemplateSlot(engine, templ);
}

ANIM_API int32_t AddSpriteDibFromTemplate(EngineState *engine, int32_t templ, int32_t left,
                                          int32_t top, int32_t width, int32_t height) {
    if (engine == nullptr) return kNoHandle;
    BITMAPINFOHEADER *sheet = Sheet(engine, templ);
    if (sheet == nullptr) return kNoHandle;
    const std::int32_t image = TakeImageSlot(engine);
    if (image != kNoHandle) ShowPart(engine->images[image], sheet, left, top, width, height);
    return image;
}

ANIM_API void SetSpriteDibFromTemplate(EngineState *engine, int32_t templ, int32_t image,
                                       int32_t left, int32_t top, int32_t width, int32_t height) {
    if (engine == nullptr || image >= engine->imageCount) return;
    SpriteImage *target = UsedImage(engine, image);
    BITMAPINFOHEADER *sheet = Sheet(engine, templ);
    if (target == nullptr || sheet == nullptr) return;
    ShowPart(*target, sheet, left, top, width, height);
}

}  // extern "C"
