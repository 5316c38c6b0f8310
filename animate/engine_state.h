// The engine state: everything about one scene in one zero-filled block.
// Members are named as their owners use them; each subsystem reads and
// writes only its own.
#pragma once

#include <cstdint>

#include "animate.h"
#include "canvas/canvas.h"

namespace anim::animate {

inline constexpr std::int32_t kMaxSprites = 512;
inline constexpr std::int32_t kMaxImages = 256;
inline constexpr std::int32_t kMaxInvalidRects = 256;
inline constexpr std::int32_t kMaxInvalidRows = 256;
inline constexpr std::int32_t kMaxTemplates = 16;
inline constexpr std::int32_t kMaxFocusRects = 20;
inline constexpr std::int32_t kMaxDrawCallbacks = 50;
inline constexpr std::int32_t kXrayColourCount = 30;

struct Sprite;       // the sprite table's records
struct SpriteImage;  // the sprite image table's records

struct DrawCallbackEntry {
    AnimDrawCallback function;  // null: skipped
    std::int32_t highDepth;
    std::int32_t lowDepth;
    std::int32_t user;
};

}  // namespace anim::animate

namespace anim::projector {
struct AnimObject;
struct SequenceEntry;
struct PlayerNumberSet;
struct MultiAnimEntry;

// Capacity, bookkeeping count and block of one projector table.
template <typename Entry>
struct Table {
    std::int32_t capacity;
    std::int32_t count;
    Entry *entries;
};
}  // namespace anim::projector

struct EngineState {
    anim::animate::Sprite *sprites;
    std::int32_t spriteCount;
    std::int32_t sortMode;
    anim::animate::SpriteImage *images;
    std::int32_t imageCount;
    RECT invalidRects[anim::animate::kMaxInvalidRects];
    std::int32_t invalidCount;
    std::int32_t invalidRows[anim::animate::kMaxInvalidRows];
    std::int32_t invalidRowCount;
    BITMAPINFOHEADER *templates[anim::animate::kMaxTemplates];
    std::int32_t templateCount;
    BITMAPINFOHEADER *background;
    RECT sceneRect;
    std::int32_t backgroundScale;
    anim::canvas::Canvas canvas;
    std::int32_t debugInvalidRects;
    std::int32_t printerEnabled;
    std::int32_t timingEnabled;
    std::uint32_t composeTime;
    std::uint32_t copyTime;
    RECT focusRects[anim::animate::kMaxFocusRects];
    std::int32_t focusCount;
    std::uint32_t sfxStepTime;
    anim::animate::DrawCallbackEntry drawCallbacks[anim::animate::kMaxDrawCallbacks];
    std::uint32_t drawCallbackCount;
    RGBQUAD masterColors[256];
    PALETTEENTRY fadeEntries[256];
    RGBQUAD xrayColors[anim::animate::kXrayColourCount];
    std::int32_t fadeLevel;
    // Colour shift recorded for recoloured decompression tables.
    std::uint16_t colorShiftFirst;
    std::uint16_t colorShiftCount;
    std::uint16_t colorShiftOffset;
    // Number colour of each team.
    std::uint8_t teamNumberColors[2];
    // Projector tables.
    anim::projector::Table<anim::projector::AnimObject> animObjects;
    anim::projector::Table<anim::projector::SequenceEntry> sequences;
    anim::projector::Table<anim::projector::PlayerNumberSet> playerNumbers;
    anim::projector::Table<anim::projector::MultiAnimEntry> multiAnims;
};

namespace anim::animate {

// The canvas of an engine, or null for a null engine.
inline canvas::Canvas *CanvasOf(EngineState *engine) {
    return engine != nullptr ? &engine->canvas : nullptr;
}

}  // namespace anim::animate
