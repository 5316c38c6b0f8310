#include "scene_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

#include "animate/engine.h"
#include "fuzz_support.h"
#include "platform/geometry.h"
#include "tests/reference/scene_reference.h"

namespace anim::fuzz {
namespace {

using reference::kUnknown;
using reference::Picture;

constexpr std::uint8_t kFirstPatternColour = 240;
// Fills the second window before each full repaint: a pixel the repaint
// does not reach keeps it and shows up as a difference.
constexpr std::uint8_t kUnpainted = 0xEE;

[[noreturn]] void Differs(const char *what, std::int32_t x, std::int32_t y, std::int32_t got,
                          std::int32_t want) {
    std::fprintf(stderr, "finding: %s at window (%d, %d): %d where %d belongs\n", what, x, y, got,
                 want);
    Finding(__FILE__, __LINE__, what);
}

std::uint8_t *Row(const BITMAPINFOHEADER &header, std::uint8_t *bits, std::int32_t y) {
    const std::int64_t height =
        header.biHeight < 0 ? -std::int64_t{header.biHeight} : header.biHeight;
    const std::int64_t stored = header.biHeight < 0 ? y : height - 1 - y;
    return bits + stored * platform::RowStride(header.biWidth);
}

// Is the callback entry called at all by a paint of depths up to high, and
// where do its pixels fall: in front of sprites of depth `front` or deeper.
// The scrolled painter calls callbacks once, at the background layer.
std::vector<reference::Overlay> Overlays(const EngineState *e, const PaintMode &mode,
                                         const std::vector<std::vector<std::uint8_t>> &patterns) {
    std::vector<reference::Overlay> out;
    const std::uint32_t count =
        std::min<std::uint32_t>(e->drawCallbackCount, animate::kMaxDrawCallbacks);
    for (std::uint32_t i = 0; i < count; ++i) {
        const animate::DrawCallbackEntry &entry = e->drawCallbacks[i];
        if (entry.function != &PatternCallback) continue;
        const auto *pixels = &patterns[static_cast<std::size_t>(entry.user % kPatterns)];
        if (mode.painter == PaintMode::kStretchPlus) {
            if (entry.lowDepth <= animate::kBackgroundDepth &&
                entry.highDepth >= animate::kBackgroundDepth)
                out.push_back({std::numeric_limits<std::int32_t>::max(), pixels});
        } else {
            const std::int32_t high =
                mode.painter == PaintMode::kPartial ? mode.high : animate::kBackgroundDepth;
            if (entry.lowDepth <= high && entry.highDepth >= animate::kFrontDepth)
                out.push_back({entry.lowDepth, pixels});
        }
    }
    return out;
}

// The window's record of what changed since the last call, each rectangle
// inside the window.
std::span<const RECT> TakeChanges(HDC dc, std::int32_t width, std::int32_t height) {
    static std::array<RECT, 16> rects;
    const std::int32_t n =
        AnimWindowChanges(dc, rects.data(), static_cast<std::int32_t>(rects.size()), nullptr);
    FUZZ_CHECK(n >= 0 && n <= static_cast<std::int32_t>(rects.size()));
    const std::span<const RECT> out(rects.data(), static_cast<std::size_t>(n));
    for (const RECT &r : out)
        FUZZ_CHECK(0 <= r.left && r.left <= r.right && r.right < width && 0 <= r.top &&
                   r.top <= r.bottom && r.bottom < height);
    return out;
}

}  // namespace

std::int32_t PatternCallback(HDC, BITMAPINFO *info, std::uint8_t *bits, std::int32_t, std::int32_t,
                             std::int32_t left, std::int32_t top, std::int32_t right,
                             std::int32_t bottom, std::int32_t user) {
    const BITMAPINFOHEADER &header = info->bmiHeader;
    const std::int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const std::int32_t pattern = user % kPatterns;
    const auto colour = static_cast<std::uint8_t>(kFirstPatternColour + pattern);
    for (std::int32_t y = std::max(top, 0); y < std::min(bottom, height); ++y) {
        std::uint8_t *row = Row(header, bits, y);
        for (std::int32_t x = std::max(left, 0); x < std::min(right, header.biWidth); ++x) {
            if ((x + 2 * y) % kPatterns == pattern) row[x] = colour;
        }
    }
    return 0;
}

SceneCheck::SceneCheck(EngineState *engine, std::int32_t maxWidth, std::int32_t maxHeight,
                       std::int32_t maxScale)
    : engine_(engine),
      windowWidth_(maxWidth * maxScale),
      windowHeight_(maxHeight * maxScale),
      window_(AnimCreateWindowDC(windowWidth_, windowHeight_)),
      repaint_(AnimCreateWindowDC(windowWidth_, windowHeight_)) {
    FUZZ_CHECK(window_ != nullptr && repaint_ != nullptr);
}

SceneCheck::~SceneCheck() {
    AnimDestroyWindowDC(window_);
    AnimDestroyWindowDC(repaint_);
}

void SceneCheck::InvalidateAll() {
    const RECT &r = engine_->sceneRect;
    MakeRectInvalid(engine_, r.left, r.top, r.right, r.bottom);
}

// A scene to compare: a surface to compose into and a scene extent, cut to
// the surface (a scene set by one background outlives a surface made by
// another).
bool SceneCheck::Paintable(Scene &scene) const {
    const canvas::Canvas &c = engine_->canvas;
    const RECT &r = engine_->sceneRect;
    if (c.pBits == nullptr || r.left != 0 || r.top != 0 || r.right < 0 || r.bottom < 0)
        return false;
    const std::int32_t surfaceHeight = c.bmi.biHeight < 0 ? -c.bmi.biHeight : c.bmi.biHeight;
    scene.width = std::min(r.right + 1, c.bmi.biWidth);
    scene.height = std::min(r.bottom + 1, surfaceHeight);
    return scene.width > 0 && scene.height > 0;
}

void SceneCheck::Run(const PaintMode &mode, HDC dc) const {
    if (mode.painter == PaintMode::kScene) PaintScene(engine_, dc);
    if (mode.painter == PaintMode::kStretch) PaintSceneStretch(engine_, dc, mode.scale);
    if (mode.painter == PaintMode::kPartial)
        PaintScenePartialDepth(engine_, dc, mode.low, mode.high);
    if (mode.painter == PaintMode::kStretchPlus)
        PaintSceneStretchPlus(engine_, dc, mode.scale, mode.scrollX, mode.scrollY);
}

// A presenter shows again only what the window reports: every pixel a
// paint changed lies in a reported rectangle.
template <typename PaintFn>
void SceneCheck::Watched(PaintFn paint) {
    TakeChanges(window_, windowWidth_, windowHeight_);
    std::int32_t stride = 0;
    const std::uint8_t *now = AnimWindowPixels(window_, &stride);
    FUZZ_CHECK(stride == windowWidth_);
    const std::size_t size = static_cast<std::size_t>(stride) * windowHeight_;
    shown_.assign(now, now + size);
    paint();
    // The old window with the reported rectangles taken from the new one
    // must be the new one.
    for (const RECT &r : TakeChanges(window_, windowWidth_, windowHeight_))
        for (std::int32_t y = r.top; y <= r.bottom; ++y) {
            const std::size_t at = static_cast<std::size_t>(y * stride + r.left);
            std::memcpy(&shown_[at], now + at, static_cast<std::size_t>(r.right - r.left + 1));
        }
    if (std::memcmp(shown_.data(), now, size) == 0) return;
    const auto at =
        static_cast<std::int32_t>(std::mismatch(now, now + size, shown_.begin()).first - now);
    Differs("a pixel changed outside the window's reported changes", at % stride, at / stride,
            now[at], shown_[static_cast<std::size_t>(at)]);
}

std::vector<std::uint8_t> SceneCheck::WindowPixels(HDC dc, std::int32_t width,
                                                   std::int32_t height) const {
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(dc, &stride);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(&out[static_cast<std::size_t>(y) * width],
                    pixels + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(width));
    return out;
}

const std::vector<std::vector<std::uint8_t>> &SceneCheck::Patterns(const Scene &scene) {
    if (patternWidth_ == scene.width && patternHeight_ == scene.height) return patterns_;
    patternWidth_ = scene.width;
    patternHeight_ = scene.height;
    patterns_.assign(kPatterns, std::vector<std::uint8_t>(static_cast<std::size_t>(scene.width) *
                                                          static_cast<std::size_t>(scene.height)));
    for (std::int32_t y = 0; y < scene.height; ++y)
        for (std::int32_t x = 0; x < scene.width; ++x) {
            const std::int32_t p = (x + 2 * y) % kPatterns;
            patterns_[static_cast<std::size_t>(p)][static_cast<std::size_t>(y * scene.width + x)] =
                static_cast<std::uint8_t>(kFirstPatternColour + p);
        }
    return patterns_;
}

// The window after a paint of the invalid rectangles equals the window
// after a paint of the whole scene in the same state: nothing changed
// without being marked.
void SceneCheck::CheckFullRepaint(const PaintMode &mode, const Scene &scene) {
    std::int32_t stride = 0;
    auto *fill = const_cast<std::uint8_t *>(AnimWindowPixels(repaint_, &stride));
    std::memset(fill, kUnpainted, static_cast<std::size_t>(stride) * windowHeight_);
    InvalidateAll();
    Run(mode, repaint_);
    TakeChanges(repaint_, windowWidth_, windowHeight_);  // its record stays bounded and unread
    const std::int32_t w = std::min(scene.width * mode.scale, windowWidth_);
    const std::int32_t h = std::min(scene.height * mode.scale, windowHeight_);
    const std::vector<std::uint8_t> dirty = WindowPixels(window_, w, h);
    const std::vector<std::uint8_t> whole = WindowPixels(repaint_, w, h);
    if (dirty == whole) return;
    const auto at = static_cast<std::int32_t>(
        std::mismatch(dirty.begin(), dirty.end(), whole.begin()).first - dirty.begin());
    Differs("the dirty-rectangle paint differs from a full repaint", at % w, at / w, dirty[at],
            whole[at]);
}

// The window against the reference compositor, wherever the scene decides
// the pixel. A paint of a band of depths that does not reach the
// background draws over what the surface held: inside the rectangles the
// window shows that with the band's sprites and callbacks over it, outside
// them it is unchanged.
void SceneCheck::CheckReference(const PaintMode &mode, const Scene &scene, const Partial *partial) {
    Picture base;
    if (partial != nullptr) {
        base = partial->surface;
    } else if (mode.painter != PaintMode::kStretchPlus) {
        base = reference::BackgroundBase(engine_->background, scene.width, scene.height);
    } else if (engine_->backgroundScale == 1) {
        base = reference::BackgroundBase(engine_->background, scene.width, scene.height,
                                         mode.scrollX, mode.scrollY);
    } else {
        // Doubled in whole 2 x 2 blocks from where each rectangle starts.
        base.assign(static_cast<std::size_t>(scene.width) * scene.height, kUnknown);
    }
    const bool band = mode.painter == PaintMode::kPartial;
    Picture want = reference::Compose(
        engine_, std::move(base), scene.width, scene.height, band ? mode.low : animate::kFrontDepth,
        band ? mode.high : animate::kBackgroundDepth, Overlays(engine_, mode, Patterns(scene)));
    std::int32_t stride = 0;
    const std::uint8_t *window = AnimWindowPixels(window_, &stride);
    for (std::int32_t y = 0; y < scene.height && y * mode.scale < windowHeight_; ++y)
        for (std::int32_t x = 0; x < scene.width && x * mode.scale < windowWidth_; ++x) {
            const auto at = static_cast<std::size_t>(y * scene.width + x);
            if (partial != nullptr &&
                std::none_of(partial->rects.begin(), partial->rects.end(), [&](const RECT &r) {
                    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
                }))
                want[at] = partial->window[at];
            const std::uint8_t got = window[y * mode.scale * stride + x * mode.scale];
            if (want[at] != kUnknown && got != want[at])
                Differs(partial != nullptr ? "a partial-depth paint differs from the surface with "
                                             "the band over it"
                                           : "the window differs from the reference compositor",
                        x * mode.scale, y * mode.scale, got, want[at]);
        }
}

void SceneCheck::Paint(const PaintMode &mode) {
    Scene scene{};
    const bool paintable = Paintable(scene);
    if (!painted_ || !(mode == last_)) InvalidateAll();
    last_ = mode;
    painted_ = true;
    // Only a paint that copies the background decides every pixel it
    // composes; one that does not keeps what the surface held.
    const bool wholeLayers =
        mode.painter != PaintMode::kPartial || mode.high == animate::kBackgroundDepth;
    // A full list drops what joins none of its rectangles: the paint is
    // then only as whole as the list was.
    const bool judged =
        engine_->invalidCount < animate::kMaxInvalidRects &&
        (mode.painter != PaintMode::kPartial ||
         (0 <= mode.low && mode.low <= mode.high && mode.high <= animate::kBackgroundDepth));
    Partial partial;
    if (paintable && !wholeLayers) {
        const canvas::Canvas &c = engine_->canvas;
        for (std::int32_t y = 0; y < scene.height; ++y) {
            const std::uint8_t *row = Row(c.bmi, c.pBits, y);
            partial.surface.insert(partial.surface.end(), row, row + scene.width);
        }
        partial.window = WindowPixels(window_, scene.width, scene.height);
        partial.rects.assign(engine_->invalidRects,
                             engine_->invalidRects +
                                 std::clamp(engine_->invalidCount, 0, animate::kMaxInvalidRects));
    }
    Watched([&] { Run(mode, window_); });
    FUZZ_CHECK(engine_->invalidCount == 0);
    if (mode.painter == PaintMode::kStretchPlus) FUZZ_CHECK(engine_->invalidRowCount == 0);
    if (!paintable) return;
    if (!wholeLayers || !judged) {
        if (judged) CheckReference(mode, scene, &partial);
        // The window no longer shows one state of the scene: paint it whole.
        last_ = PaintMode{};
        InvalidateAll();
        Watched([&] { Run(last_, window_); });
        CheckFullRepaint(last_, scene);
        CheckReference(last_, scene, nullptr);
        return;
    }
    // Doubled background blocks start where each rectangle starts (the
    // canvas's 2 x 2 rule), so only a whole repaint decides them.
    if (mode.painter != PaintMode::kStretchPlus || engine_->backgroundScale == 1)
        CheckFullRepaint(mode, scene);
    CheckReference(mode, scene, nullptr);
}

void SceneCheck::PaintRect(const RECT &rect) {
    if (!painted_ || !(last_ == PaintMode{})) Paint(PaintMode{});
    Watched([&] { PaintSceneRect(engine_, window_, &rect); });
}

}  // namespace anim::fuzz
