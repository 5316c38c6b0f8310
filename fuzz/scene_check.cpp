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

[[noreturn]] void Differs(const char *what, std::int32_t x, std::int32_t y, std::int32_t got, std::int32_t want) {
    std::fprintf(stderr, "finding: %s at window (%d, %d): %d where %d belongs\n", what, x, y, got, want);
    Finding(__FILE__, __LINE__, what);
}

std::int32_t Height(const BITMAPINFOHEADER &header) {
    return header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

std::uint8_t *Row(const BITMAPINFOHEADER &header, std::uint8_t *bits, std::int32_t y) {
    const std::int64_t stored = header.biHeight < 0 ? y : Height(header) - 1 - y;
    return bits + stored * platform::RowStride(header.biWidth);
}

void Run(EngineState *e, const PaintMode &mode, HDC dc) {
    if (mode.painter == PaintMode::kScene) PaintScene(e, dc);
    if (mode.painter == PaintMode::kStretch) PaintSceneStretch(e, dc, mode.scale);
    if (mode.painter == PaintMode::kPartial) PaintScenePartialDepth(e, dc, mode.low, mode.high);
    if (mode.painter == PaintMode::kStretchPlus) PaintSceneStretchPlus(e, dc, mode.scale, mode.scrollX, mode.scrollY);
}

// The first width pixels of the first height rows of a window.
std::vector<std::uint8_t> WindowPixels(HDC dc, std::int32_t width, std::int32_t height) {
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(dc, &stride);
    std::vector<std::uint8_t> out;
    for (std::int32_t y = 0; y < height; ++y)
        out.insert(out.end(), pixels + static_cast<std::ptrdiff_t>(y) * stride,
                   pixels + static_cast<std::ptrdiff_t>(y) * stride + width);
    return out;
}

// The first pixel where two pictures of width w differ.
template <typename A, typename B>
void Compare(const char *what, const A &got, const B &want, std::int32_t w) {
    const auto at = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    if (at != static_cast<std::ptrdiff_t>(got.size()))
        Differs(what, static_cast<std::int32_t>(at % w), static_cast<std::int32_t>(at / w), got[at], want[at]);
}

// The window's record of what changed since the last call, each rectangle
// inside the window.
std::span<const RECT> TakeChanges(HDC dc, std::int32_t width, std::int32_t height) {
    static std::array<RECT, 16> rects;
    const std::int32_t n = AnimWindowChanges(dc, rects.data(), static_cast<std::int32_t>(rects.size()), nullptr);
    FUZZ_CHECK(n >= 0 && n <= static_cast<std::int32_t>(rects.size()));
    const std::span<const RECT> out(rects.data(), static_cast<std::size_t>(n));
    for (const RECT &r : out)
        FUZZ_CHECK(0 <= r.left && r.left <= r.right && r.right < width && 0 <= r.top && r.top <= r.bottom &&
                   r.bottom < height);
    return out;
}

// A presenter shows again only what the window reports: every pixel a
// paint changed lies in a reported rectangle. The old window with the
// reported rectangles taken from the new one must be the new one.
template <typename PaintFn>
void Watched(HDC window, std::int32_t width, std::int32_t height, PaintFn paint) {
    TakeChanges(window, width, height);
    std::vector<std::uint8_t> shown = WindowPixels(window, width, height);
    paint();
    const std::vector<std::uint8_t> now = WindowPixels(window, width, height);
    for (const RECT &r : TakeChanges(window, width, height))
        for (std::int32_t y = r.top; y <= r.bottom; ++y) {
            const auto at = static_cast<std::ptrdiff_t>(y) * width + r.left;
            std::copy(now.begin() + at, now.begin() + at + r.right - r.left + 1, shown.begin() + at);
        }
    Compare("a pixel changed outside the window's reported changes", now, shown, width);
}

// The pattern pictures of a scene's size, and for every callback entry
// called at all by a paint of depths up to high, where its pixels fall: in
// front of sprites of depth `front` or deeper. The scrolled painter calls
// callbacks once, at the background layer.
struct Overlays {
    std::vector<std::vector<std::uint8_t>> patterns;
    std::vector<reference::Overlay> list;

    Overlays(const EngineState *e, const PaintMode &mode, std::int32_t w, std::int32_t h) {
        const std::uint32_t count = std::min<std::uint32_t>(e->drawCallbackCount, animate::kMaxDrawCallbacks);
        if (count == 0) return;
        patterns.assign(kPatterns, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h));
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                const std::int32_t p = (x + 2 * y) % kPatterns;
                patterns[p][static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(kFirstPatternColour + p);
            }
        const bool scrolled = mode.painter == PaintMode::kStretchPlus;
        const std::int32_t high = mode.painter == PaintMode::kPartial ? mode.high : animate::kBackgroundDepth;
        for (const animate::DrawCallbackEntry &entry : std::span(e->drawCallbacks, count)) {
            if (entry.function != &PatternCallback) continue;
            const auto *pixels = &patterns[static_cast<std::size_t>(entry.user % kPatterns)];
            if (scrolled && entry.lowDepth <= animate::kBackgroundDepth && entry.highDepth >= animate::kBackgroundDepth)
                list.push_back({std::numeric_limits<std::int32_t>::max(), pixels});
            if (!scrolled && entry.lowDepth <= high && entry.highDepth >= animate::kFrontDepth)
                list.push_back({entry.lowDepth, pixels});
        }
    }
};

}  // namespace

std::int32_t PatternCallback(HDC, BITMAPINFO *info, std::uint8_t *bits, std::int32_t, std::int32_t, std::int32_t left,
                             std::int32_t top, std::int32_t right, std::int32_t bottom, std::int32_t user) {
    const BITMAPINFOHEADER &header = info->bmiHeader;
    const std::int32_t pattern = user % kPatterns;
    for (std::int32_t y = std::max(top, 0); y < std::min(bottom, Height(header)); ++y) {
        std::uint8_t *row = Row(header, bits, y);
        for (std::int32_t x = std::max(left, 0); x < std::min(right, header.biWidth); ++x) {
            if ((x + 2 * y) % kPatterns == pattern) row[x] = static_cast<std::uint8_t>(kFirstPatternColour + pattern);
        }
    }
    return 0;
}

SceneCheck::SceneCheck(EngineState *engine, std::int32_t width, std::int32_t height)
    : engine_(engine),
      width_(width),
      height_(height),
      window_(AnimCreateWindowDC(width, height)),
      repaint_(AnimCreateWindowDC(width, height)) {
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

// The window after a paint of the invalid rectangles equals the window
// after a paint of the whole scene in the same state: nothing changed
// without being marked.
void SceneCheck::CheckFullRepaint(const PaintMode &mode, const Scene &scene) {
    std::int32_t stride = 0;
    auto *fill = const_cast<std::uint8_t *>(AnimWindowPixels(repaint_, &stride));
    std::memset(fill, kUnpainted, static_cast<std::size_t>(stride) * height_);
    InvalidateAll();
    Run(engine_, mode, repaint_);
    TakeChanges(repaint_, width_, height_);  // its record stays bounded and unread
    const std::int32_t w = std::min(scene.width * mode.scale, width_);
    const std::int32_t h = std::min(scene.height * mode.scale, height_);
    Compare("the dirty-rectangle paint differs from a full repaint", WindowPixels(window_, w, h),
            WindowPixels(repaint_, w, h), w);
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
    } else if (mode.painter != PaintMode::kStretchPlus || engine_->backgroundScale == 1) {
        base = reference::BackgroundBase(engine_->background, scene.width, scene.height, mode.scrollX, mode.scrollY);
    } else {
        // Doubled in whole 2 x 2 blocks from where each rectangle starts.
        base.assign(static_cast<std::size_t>(scene.width) * scene.height, kUnknown);
    }
    const bool band = mode.painter == PaintMode::kPartial;
    const Overlays overlays(engine_, mode, scene.width, scene.height);
    Picture want =
        reference::Compose(engine_, std::move(base), scene.width, scene.height, band ? mode.low : animate::kFrontDepth,
                           band ? mode.high : animate::kBackgroundDepth, overlays.list);
    std::int32_t stride = 0;
    const std::uint8_t *window = AnimWindowPixels(window_, &stride);
    for (std::int32_t y = 0; y < scene.height && y * mode.scale < height_; ++y)
        for (std::int32_t x = 0; x < scene.width && x * mode.scale < width_; ++x) {
            const auto at = static_cast<std::size_t>(y * scene.width + x);
            if (partial != nullptr && std::none_of(partial->rects.begin(), partial->rects.end(), [&](const RECT &r) {
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
    // A scene to compare: a surface to compose into and a scene extent, cut
    // to the surface (a scene set by one background outlives a surface made
    // by another).
    const canvas::Canvas &c = engine_->canvas;
    const RECT &r = engine_->sceneRect;
    const Scene scene{std::min(r.right + 1, c.bmi.biWidth), std::min(r.bottom + 1, Height(c.bmi))};
    const bool paintable = c.pBits != nullptr && r.left == 0 && r.top == 0 && r.right >= 0 && r.bottom >= 0 &&
                           scene.width > 0 && scene.height > 0;
    if (!painted_ || !(mode == last_)) InvalidateAll();
    last_ = mode;
    painted_ = true;
    // Only a paint that copies the background decides every pixel it
    // composes; one that does not keeps what the surface held.
    const bool wholeLayers = mode.painter != PaintMode::kPartial || mode.high == animate::kBackgroundDepth;
    // A full list drops what joins none of its rectangles: the paint is
    // then only as whole as the list was.
    const bool judged = engine_->invalidCount < animate::kMaxInvalidRects &&
                        (mode.painter != PaintMode::kPartial ||
                         (0 <= mode.low && mode.low <= mode.high && mode.high <= animate::kBackgroundDepth));
    Partial partial;
    if (paintable && !wholeLayers) {
        for (std::int32_t y = 0; y < scene.height; ++y) {
            const std::uint8_t *row = Row(c.bmi, c.pBits, y);
            partial.surface.insert(partial.surface.end(), row, row + scene.width);
        }
        partial.window = WindowPixels(window_, scene.width, scene.height);
        partial.rects.assign(engine_->invalidRects,
                             engine_->invalidRects + std::clamp(engine_->invalidCount, 0, animate::kMaxInvalidRects));
    }
    Watched(window_, width_, height_, [&] { Run(engine_, mode, window_); });
    FUZZ_CHECK(engine_->invalidCount == 0);
    if (mode.painter == PaintMode::kStretchPlus) FUZZ_CHECK(engine_->invalidRowCount == 0);
    if (!paintable) return;
    if (!wholeLayers || !judged) {
        if (judged) CheckReference(mode, scene, &partial);
        // The window no longer shows one state of the scene: paint it whole.
        last_ = PaintMode{};
        InvalidateAll();
        Watched(window_, width_, height_, [&] { Run(engine_, last_, window_); });
        CheckFullRepaint(last_, scene);
        CheckReference(last_, scene, nullptr);
        return;
    }
    // Doubled background blocks start where each rectangle starts (the
    // canvas's 2 x 2 rule), so only a whole repaint decides them.
    if (mode.painter != PaintMode::kStretchPlus || engine_->backgroundScale == 1) CheckFullRepaint(mode, scene);
    CheckReference(mode, scene, nullptr);
}

void SceneCheck::PaintRect(const RECT &rect) {
    if (!painted_ || !(last_ == PaintMode{})) Paint(PaintMode{});
    Watched(window_, width_, height_, [&] { PaintSceneRect(engine_, window_, &rect); });
}

}  // namespace anim::fuzz
