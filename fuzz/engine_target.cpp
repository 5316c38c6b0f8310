// The sprite engine and the projector driven by sequences of calls, with
// every paint held against a full repaint and the reference compositor
// (scene_check.h).
//
//   input := setup(1) call*
//   setup := bit 0 top-down surfaces, bits 1-2 the starting scene (one of
//            three backgrounds, or an off-screen image without one)
//   call  := code(1) arguments (as Game::Call and the call it picks read them)
//
// The calls are a careful game's: it hides a sprite before it deletes it or
// gives it another image, places sprites again after their image changed,
// marks the whole scene when the scene's look changes in a way the engine
// does not see (sort order, draw callbacks, background scale, a new
// surface), and marks where an object's sprite was and is after a call
// that by its contract repaints nothing (a projection with show 0, an erase
// without invalidating, a seek of a hidden object). Draw callbacks paint
// fixed patterns and never change sprites; sort mode 0 and draw callbacks
// are not combined, since callbacks then fall between sprites in slot order
// and their layer depends on which sprites share the rectangle composed.
// Left out: PaintSceneSFX, which waits in real time, the debug display,
// which draws on the window, and SetFrameOffsetXY on delta sequences, which
// moves the sprite without marking anything by design.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine.h"
#include "dib/rect.h"
#include "fuzz_support.h"
#include "scene_check.h"
#include "targets.h"
#include "tests/reference/scene_reference.h"

namespace anim::fuzz {
namespace {

// Scenes up to this size, shown at up to this scale.
constexpr std::int32_t kMaxSceneWidth = 48;
constexpr std::int32_t kMaxSceneHeight = 40;
constexpr std::int32_t kMaxScale = 3;
// Enough to crowd a small scene; more only slows the checks.
constexpr std::size_t kMaxSprites = 24;
constexpr std::size_t kMaxImages = 12;
constexpr std::size_t kMaxTemplates = 4;
constexpr std::size_t kMaxObjects = 4;
constexpr std::int32_t kMaxCalls = 400;
constexpr std::int32_t kFirstId = 100;
// fixtures/sample.anx, made with the project's writer: sequence 0 scalable
// (three frames of two sizes with position adjusts and shirt-number
// overlays, the third a repeat of the first), sequence 1 delta (four
// frames, a key frame every second one).
constexpr std::int32_t kSampleSequences = 2;
constexpr std::int32_t kSampleScalable = 0;
constexpr std::int32_t kSampleDelta = 1;
constexpr std::int32_t kDepths[] = {0, 1, 5, 5, 10, 20, 100, 32767, 32768, -1, 7, 50};
constexpr std::int32_t kAnchors[] = {ANIM_ANCHOR_CENTRE, ANIM_ANCHOR_FOOT, ANIM_ANCHOR_TOP_LEFT, 2};

BITMAPINFOHEADER *Picture(std::int32_t w, std::int32_t h, std::uint32_t seed, bool opaque) {
    return FilledDib(w, h, [&](std::int32_t x, std::int32_t y) {
        const std::uint32_t v = (static_cast<std::uint32_t>(x * 7 + y * 3) + seed * 11) % 61;
        return static_cast<std::uint8_t>(v < 9 ? (opaque ? 1 : 0) : 10 + v * 3);
    });
}

// Pictures, frames and files every run borrows, made once and never
// destroyed: the blocks stay reachable to the leak check at exit.
struct Fixtures {
    std::vector<BITMAPINFOHEADER *> backgrounds{
        Picture(40, 32, 1, true), Picture(kMaxSceneWidth, kMaxSceneHeight, 2, true), Picture(24, 20, 3, true)};
    std::vector<BITMAPINFOHEADER *> pictures;  // sprite images; null among them
    BITMAPINFOHEADER *sheet = Picture(32, 24, 11, false);
    std::vector<ANXFRAME *> frames;
    std::vector<std::string> backgroundFiles;

    Fixtures() {
        const std::pair<std::int32_t, std::int32_t> sizes[] = {{1, 1},   {5, 3},  {8, 8}, {13, 9},
                                                               {20, 16}, {3, 30}, {40, 2}};
        for (std::uint32_t i = 0; i < std::size(sizes); ++i)
            pictures.push_back(Picture(sizes[i].first, sizes[i].second, 4 + i, i == 0));
        pictures.push_back(nullptr);
        const RECT rects[] = {{0, 0, 12, 8}, {2, 1, 6, 5}, {0, 0, 6, 4}, {3, 3, 12, 8}};
        const POINT origin{-3, 2};
        frames = {CopyDIBToAnxFrame(pictures[3], &origin, &rects[0], 1),
                  CopyDIBToAnxFrame(pictures[2], nullptr, &rects[1], 1),
                  CopyDIBToAnxFrame(pictures[3], nullptr, &rects[2], 2)};
        for (const ANXFRAME *f : frames) FUZZ_CHECK(f != nullptr);
        for (std::size_t i : {0, 2}) {
            backgroundFiles.push_back(ScratchFile("background" + std::to_string(i) + ".dib", {}));
            FUZZ_CHECK(WriteDIB(backgroundFiles.back().c_str(), backgrounds[i]) == 1);
        }
    }
};

const Fixtures &Shared() {
    static const Fixtures *fixtures = new Fixtures;
    return *fixtures;
}

// What the game knows of its sprites, images and objects.
struct GameSprite {
    std::int32_t handle;
    std::size_t image;  // into Game::images
    std::int32_t x, y, depth, anchor;
};
struct GameObject {
    std::int32_t handle;
    std::int32_t sequence;  // kSampleScalable, kSampleDelta or -1
};
// A rectangle of a sprite template.
struct Part {
    std::int32_t left, top, w, h;
};

struct Game {
    EngineState *e;
    Input &in;
    SceneCheck &check;
    std::vector<GameSprite> sprites{};
    std::vector<std::int32_t> images{};
    std::vector<std::int32_t> templates{};
    std::vector<GameObject> objects{};
    std::vector<RECT> marked{};  // the invalid list before a scene call
    bool deltaStartGone = false;

    void Call();

    std::int32_t X() { return in.Range(-16, kMaxSceneWidth + 16); }
    std::int32_t Y() { return in.Range(-16, kMaxSceneHeight + 16); }
    std::int32_t Depth() { return in.Flag() ? kDepths[in.Byte() % std::size(kDepths)] : in.Range(-2, 40); }
    std::int32_t Anchor() { return kAnchors[in.Byte() % std::size(kAnchors)]; }
    RECT Grown(RECT r, std::int32_t least, std::int32_t w, std::int32_t h) {
        r.right = r.left + in.Range(least, w);
        r.bottom = r.top + in.Range(least, h);
        return r;
    }
    Part TemplatePart() { return {in.Range(-6, 34), in.Range(-6, 26), in.Range(-2, 24), in.Range(-2, 20)}; }
    template <typename T>
    T *Pick(std::vector<T> &items) {
        return items.empty() ? nullptr : &items[in.Byte() % items.size()];
    }
    template <typename T>
    const T &Of(const std::vector<T> &items) {
        return items[in.Byte() % items.size()];
    }

    bool Shown(std::int32_t sprite) const { return e->sprites[sprite].shown != 0; }
    void Place(const GameSprite &s, bool shown) {
        (shown ? ShowSprite : SetSpritePosition)(e, s.handle, s.x, s.y, s.depth, s.anchor);
    }
    void Mark(const RECT &r) { MakeRectInvalid(e, r.left, r.top, r.right, r.bottom); }
    void MarkSprite(std::int32_t sprite) {
        if (sprite >= 0 && Shown(sprite)) Mark(e->sprites[sprite].rect);
    }
    void MarkAgain() {
        for (const RECT &r : marked) Mark(r);
    }
    // A projector call that by its contract repaints nothing unless told
    // to: then the caller marks where the object's sprite was and is now.
    template <typename F>
    void Repainting(const GameObject &o, bool repaints, F call) {
        const std::int32_t sprite = repaints ? -1 : GetSprite(e, o.handle);
        MarkSprite(sprite);
        call();
        MarkSprite(sprite);
    }
};

using SpriteOp = void (*)(Game &, GameSprite &);
constexpr SpriteOp kSpriteOps[] = {
    [](Game &g, GameSprite &s) {  // moved anywhere
        s.x = g.X(), s.y = g.Y(), s.depth = g.Depth(), s.anchor = g.Anchor();
        g.Place(s, true);
    },
    [](Game &g, GameSprite &s) {  // nudged: the old and new places overlap
        s.x += g.in.Range(-3, 3);
        s.y += g.in.Range(-3, 3);
        g.Place(s, true);
    },
    [](Game &g, GameSprite &s) {
        const bool was = g.Shown(s.handle);
        FUZZ_CHECK(g.in.Flag() ? HideSprite(g.e, s.handle) == was : UnHideSprite(g.e, s.handle) == !was);
    },
    [](Game &g, GameSprite &s) {  // deleted, hidden first
        HideSprite(g.e, s.handle);
        FUZZ_CHECK(DeleteSprite(g.e, s.handle) == 0);
        g.sprites.erase(g.sprites.begin() + (&s - g.sprites.data()));
    },
    [](Game &g, GameSprite &s) {  // another image: hidden first, shown again where it was
        s.image = g.in.Byte() % g.images.size();
        const bool shown = HideSprite(g.e, s.handle) != 0;
        SetSpriteSpriteDib(g.e, s.handle, g.images[s.image]);
        g.Place(s, shown);
    },
};

// Calls on an image the game holds; true when its sprites are to be placed again.
using ImageOp = bool (*)(Game &, std::size_t index);
constexpr ImageOp kImageOps[] = {
    [](Game &g, std::size_t i) {
        SetSpriteDib(g.e, g.images[i], g.Of(Shared().pictures));
        return true;
    },
    [](Game &g, std::size_t i) {
        const Part p = g.TemplatePart();
        if (g.templates.empty()) return false;
        SetSpriteDibFromTemplate(g.e, g.Of(g.templates), g.images[i], p.left, p.top, p.w, p.h);
        return true;
    },
    [](Game &g, std::size_t i) {
        SetSpriteDibFromAnxFrameRect0(g.e, g.images[i], g.Of(Shared().frames));
        return true;
    },
    [](Game &g, std::size_t i) {  // a part of the image's picture
        RECT r = g.Grown({g.in.Range(-4, 30), g.in.Range(-4, 30), 0, 0}, -2, 24, 24);
        std::int32_t w = 0, h = 0;
        GetDibSize(g.e, g.images[i], &w, &h);
        // Frame pixels have no size of their own beyond the image's (the
        // engine addresses them by the image's own width).
        if (g.e->images[g.images[i]].isFramePixels != 0)
            r = {std::clamp<std::int32_t>(r.left, 0, w), std::clamp<std::int32_t>(r.top, 0, h),
                 std::min(r.right, w - 1), std::min(r.bottom, h - 1)};
        SetSpriteDibSizeFromRect(g.e, g.images[i], &r);
        return true;
    },
    [](Game &g, std::size_t i) {  // deleted, when no sprite shows it
        for (const GameSprite &s : g.sprites) {
            if (s.image == i) return false;
        }
        FUZZ_CHECK(DeleteSpriteDib(g.e, g.images[i]) == 0);
        g.images.erase(g.images.begin() + static_cast<std::ptrdiff_t>(i));
        for (GameSprite &s : g.sprites) s.image -= s.image > i ? 1 : 0;
        return false;
    },
};

using Op = void (*)(Game &);
constexpr Op kNewImageOps[] = {
    [](Game &g) {  // a picture, or none
        BITMAPINFOHEADER *dib = g.Of(Shared().pictures);
        if (g.images.size() >= kMaxImages) return;
        const std::int32_t handle = AddSpriteDib(g.e, dib);
        FUZZ_CHECK(handle >= 0);
        g.images.push_back(handle);
    },
    [](Game &g) {  // from a template, any rectangle of it
        const Part p = g.TemplatePart();
        const bool another = g.in.Flag();
        if (g.images.size() >= kMaxImages) return;
        if (g.templates.empty() || another) {
            if (g.templates.size() >= kMaxTemplates) return;
            g.templates.push_back(AddSpriteTemplate(g.e, Shared().sheet));
            FUZZ_CHECK(g.templates.back() >= 0);
        }
        const std::int32_t handle = AddSpriteDibFromTemplate(g.e, g.templates.back(), p.left, p.top, p.w, p.h);
        if (handle >= 0) g.images.push_back(handle);
    },
    [](Game &g) {
        if (g.templates.empty()) return;
        DeleteSpriteTemplate(g.e, g.templates.back());
        g.templates.pop_back();
    },
};

constexpr Op kSceneOps[] = {
    [](Game &g) {
        g.Mark({g.X(), g.Y(), g.X(), g.Y()});
    },
    [](Game &g) { MakeScanlineInvalid(g.e, g.in.Range(-2, kMaxSceneHeight * 2)); },
    [](Game &g) {  // sort order: the callbacks' layers need depth order
        const std::int32_t mode = std::array{0, 1, -1, 7}[g.in.Byte() % 4];
        if (mode == 0 && g.e->drawCallbackCount != 0) return;
        SetSortMode(g.e, mode);
        g.check.InvalidateAll();
    },
    [](Game &g) {  // the process-wide join settings
        SetJoinRectOverhead(std::array{3000, 0, -1, 100, 20000, 1}[g.in.Byte() % 6]);
        dib::SetJoinMode(g.in.Flag() ? dib::JoinMode::kEdge : dib::JoinMode::kCost);
    },
    [](Game &g) {
        const std::int32_t pattern = g.in.Byte() % kPatterns;
        const std::int32_t high = g.Depth(), low = g.Depth();
        const bool none = g.in.Byte() % 8 == 0;  // kept, never called
        if (g.e->sortMode == 0) return;
        const bool full = g.e->drawCallbackCount >= std::uint32_t{animate::kMaxDrawCallbacks};
        FUZZ_CHECK(RegisterDrawCallback(g.e, none ? nullptr : &PatternCallback, high, low, pattern) == (low > high ? 10
                                                                                                        : full     ? 8
                                                                                                               : 0));
        g.check.InvalidateAll();
    },
    [](Game &g) {
        if (g.e->drawCallbackCount == 0) return;
        const animate::DrawCallbackEntry entry = g.e->drawCallbacks[g.in.Byte() % g.e->drawCallbackCount];
        FUZZ_CHECK(UnregisterDrawCallback(g.e, entry.function, entry.highDepth, entry.lowDepth) == 0);
        g.check.InvalidateAll();
    },
    [](Game &g) {
        FUZZ_CHECK(UnregisterAllDrawCallbacks(g.e) == 0 && g.e->drawCallbackCount == 0);
        g.check.InvalidateAll();
    },
    [](Game &g) {  // the engine takes the copy and marks the whole scene
        FUZZ_CHECK(SetBackgroundFromPDIB(g.e, CopyDIB(g.Of(Shared().backgrounds))) == 1);
    },
    [](Game &g) {
        const bool colours = g.in.Flag();
        if (colours) ReleasePalette(g.e);
        FUZZ_CHECK(SetBackgroundDibOnly(g.e, g.Of(Shared().backgroundFiles).c_str(), colours) == 1);
        g.MarkAgain();
        // The engine marks where the picture lies unscrolled; a game that
        // scrolls it marks the scene.
        if (g.check.Scrolled()) g.check.InvalidateAll();
    },
    [](Game &g) { DeleteBackgroundDibOnly(g.e); },
    [](Game &g) {  // a new surface holds nothing yet
        const std::int32_t w = g.in.Range(0, kMaxSceneWidth), h = g.in.Range(0, kMaxSceneHeight);
        FUZZ_CHECK(MakeOffScreenDib(g.e, w, h) == (w > 0 && h > 0 ? 0 : 1));
        g.MarkAgain();
        g.check.InvalidateAll();
    },
    [](Game &g) {
        SetBackgroundStretch(g.e, 1 + g.in.Byte() % 2);
        g.check.InvalidateAll();
    },
    [](Game &g) {  // the small picture only: magnified it must still fit the window
        ReleasePalette(g.e);
        const char *path = Shared().backgroundFiles.back().c_str();
        FUZZ_CHECK(SetBackgroundPlus(g.e, path, 1 + g.in.Byte() % 2) == 1);
    },
    [](Game &g) { FUZZ_CHECK(DeleteBackground(g.e) == 0); },
    [](Game &g) { EnablePrinter(g.e, g.in.Flag()); },
    [](Game &g) {
        std::uint32_t compose = 0, copy = 0;
        g.in.Flag() ? ResetFixupPaintTimes(g.e) : GetFixupPaintTimes(g.e, &compose, &copy);
    },
    [](Game &g) {
        const std::int32_t x = g.X(), y = g.Y(), want = reference::SpriteAt(g.e, x, y);
        std::int32_t hit = -7;
        FUZZ_CHECK(GetSpriteFromPoint(g.e, x, y, &hit) == (want >= 0 ? 1 : 0));
        FUZZ_CHECK(hit == std::max(want, 0));
    },
    [](Game &g) {  // a picture as the model of the surface, and no background
        FUZZ_CHECK(SetOffScreenDib(g.e, g.Of(Shared().pictures)) == nullptr);
        g.MarkAgain();
        g.check.InvalidateAll();
    },
    [](Game &g) {  // moved, not resized, into the scene when it fits
        const RECT before = g.Grown({g.X(), g.Y(), 0, 0}, -1, kMaxSceneWidth, kMaxSceneHeight);
        const RECT &scene = g.e->sceneRect;
        RECT r = before;
        OffsetRectInsideBackground(g.e, &r);
        const std::int32_t w = before.right - before.left, h = before.bottom - before.top;
        FUZZ_CHECK(r.right - r.left == w && r.bottom - r.top == h);
        if (scene.right >= 0 && scene.bottom >= 0 && w <= scene.right && h <= scene.bottom)
            FUZZ_CHECK(r.left >= 0 && r.top >= 0 && r.right <= scene.right && r.bottom <= scene.bottom);
    },
};

// Colours only: the window's pixels are indices and stay as they are.
struct Colours {
    std::int32_t first, last;
    RGBQUAD colour;
};
using PaletteOp = void (*)(Game &, const Colours &);
constexpr PaletteOp kPaletteOps[] = {
    [](Game &g, const Colours &) { SetBlacknessFade(g.e, g.in.Flag()); },
    [](Game &g, const Colours &) { FadeBlacknessScene(g.e, g.in.Flag()); },
    [](Game &g, const Colours &c) { FadeBlacknessSceneLimited(g.e, g.in.Flag(), c.first, c.last); },
    [](Game &g, const Colours &c) {
        std::array<RGBQUAD, animate::kXrayColourCount> colours;
        colours.fill(c.colour);
        SetXrayFade(g.e, colours.data(), g.in.Flag());
    },
    [](Game &g, const Colours &) { FadeXrayScene(g.e, g.in.Flag()); },
    [](Game &g, const Colours &c) { CyclePalette(g.e, c.first, c.last); },
    [](Game &g, const Colours &c) { RedirectColor(g.e, c.first, c.last); },
    [](Game &g, const Colours &c) { AddColor(g.e, c.first, &c.colour); },
};

using ObjectOp = void (*)(Game &, GameObject &);
constexpr ObjectOp kObjectOps[] = {
    [](Game &g, GameObject &o) {  // another sequence: what it showed is erased first
        const std::int32_t choice = g.in.Byte() % 4, table = g.in.Byte() % 3;
        HideFrame(g.e, o.handle);
        const std::int32_t id = choice < kSampleSequences ? kFirstId + choice : choice == 2 ? 7 : -1;
        // A delta sequence whose frame 0 was released has no picture to
        // start from.
        const bool playable = choice != 2 && !(choice == kSampleDelta && g.deltaStartGone);
        FUZZ_CHECK(SetAnimObjectAnim(g.e, o.handle, id, table, 0) == (playable ? 1 : 0));
        o.sequence = choice < kSampleSequences && playable ? choice : -1;
    },
    [](Game &g, GameObject &o) {
        const std::int32_t number = g.in.Byte() % 100, flag = g.in.Byte() & 1;
        SetAnimObjectPlayerNumber(g.e, o.handle, number, flag);
    },
    [](Game &g, GameObject &o) {
        const std::int32_t x = g.X(), y = g.Y(), depth = g.Depth();
        const bool show = g.in.Byte() % 4 != 0;
        const std::int32_t scale = g.in.Flag() ? 100 : g.in.Range(1, 100), flags = g.in.Byte() & 1;
        g.Repainting(o, show, [&] { ProjectFrameScaleFlip(g.e, o.handle, x, y, depth, show, scale, flags); });
    },
    [](Game &g, GameObject &o) {
        const std::int32_t target = g.in.Range(-2, 6);
        g.Repainting(o, g.Shown(GetSprite(g.e, o.handle)), [&] { SetFrameNum(g.e, o.handle, target); });
    },
    [](Game &g, GameObject &o) { (g.in.Flag() ? RewindAnx : OldRewindAnx)(g.e, o.handle); },
    [](Game &g, GameObject &o) {
        const std::int32_t call = g.in.Byte() % 4;
        if (call == 0) ErasePreviousFrame(g.e, o.handle);
        if (call == 2) HideFrame(g.e, o.handle);
        if (call == 3) ShowFrame(g.e, o.handle);
        if (call != 1) return;
        const bool invalidate = g.in.Flag();
        g.Repainting(o, invalidate, [&] { ErasePreviousFramePlus(g.e, o.handle, invalidate); });
    },
    [](Game &g, GameObject &o) {
        const bool first = GetFrameNum(g.e, o.handle) == 1;
        const std::int32_t released = DeleteFrameImmediate(g.e, o.handle);
        g.deltaStartGone |= released == 1 && first && o.sequence == kSampleDelta;
    },
    [](Game &g, GameObject &o) {  // gone, erased first
        HideFrame(g.e, o.handle);
        DestroyAnimObject(g.e, o.handle);
        g.objects.erase(g.objects.begin() + (&o - g.objects.data()));
    },
    [](Game &g, GameObject &o) {
        const std::int32_t frame = g.in.Range(-1, 4), x = g.in.Range(-8, 8), y = g.in.Range(-8, 8);
        if (g.in.Flag()) {
            SetSeqFrameOffset(g.e, o.handle, frame, x, y);
        } else if (o.sequence == kSampleScalable) {
            SetFrameOffsetXY(g.e, o.handle, frame, x, y);
        }
    },
    [](Game &g, GameObject &) {
        const std::int32_t x = g.X(), y = g.Y();
        const std::int32_t hit = GetSeqFromPoint(g.e, x, y), sprite = reference::SpriteAt(g.e, x, y);
        FUZZ_CHECK(hit == -1 || (sprite >= 0 && GetSprite(g.e, hit) == sprite));
    },
};

constexpr Op kPaintOps[] = {
    [](Game &g) { g.check.Paint({}); },
    [](Game &g) {
        g.check.Paint({PaintMode::kStretch, g.in.Range(1, kMaxScale)});
    },
    [](Game &g) {
        PaintMode mode{PaintMode::kPartial, 1, g.Depth()};
        mode.high = g.in.Flag() ? animate::kBackgroundDepth : g.Depth();
        g.check.Paint(mode);
    },
    [](Game &g) {
        g.check.Paint(
            {PaintMode::kStretchPlus, g.in.Range(1, kMaxScale), 0, 32767, g.in.Range(-8, 8), g.in.Range(-8, 8)});
    },
    [](Game &g) {
        g.check.PaintRect(g.Grown({g.X(), g.Y(), 0, 0}, -2, 30, 30));
    },
};

// A call's code picks its group; each group takes as many of the 64 codes
// as it is to be weighted.
void Game::Call() {
    const std::int32_t code = in.Byte() % 64;
    if (code < 4) {  // a new sprite
        const std::size_t image = in.Byte() % std::max<std::size_t>(images.size(), 1);
        const bool show = in.Flag();
        GameSprite s{-1, image, X(), Y(), Depth(), Anchor()};
        if (images.empty() || sprites.size() >= kMaxSprites) return;
        s.handle = AddSprite(e);
        FUZZ_CHECK(s.handle >= 0 && !Shown(s.handle));
        SetSpriteSpriteDib(e, s.handle, images[image]);
        Place(s, show);
        sprites.push_back(s);
    } else if (code < 14) {
        if (GameSprite *s = Pick(sprites)) kSpriteOps[code % 5](*this, *s);
    } else if (code < 17) {
        kNewImageOps[code - 14](*this);
    } else if (code < 22) {
        if (images.empty()) return;
        const std::size_t index = in.Byte() % images.size();
        if (!kImageOps[code - 17](*this, index)) return;
        // Every sprite showing it placed again, which repaints where it was
        // and where it is.
        for (const GameSprite &s : sprites) {
            if (s.image == index) Place(s, Shown(s.handle));
        }
    } else if (code < 41) {
        marked.assign(e->invalidRects, e->invalidRects + std::clamp(e->invalidCount, 0, 256));
        kSceneOps[code - 22](*this);
    } else if (code < 43) {
        const Colours c{in.Range(-2, 257), in.Range(-2, 257), {in.Byte(), in.Byte(), in.Byte(), 0}};
        kPaletteOps[in.Byte() % 8](*this, c);
    } else if (code < 56) {
        if ((code - 43) % 11 == 0) {
            if (objects.size() >= kMaxObjects) return;
            objects.push_back({GetAnimObject(e), -1});
            FUZZ_CHECK(objects.back().handle >= 0);
        } else if (GameObject *o = Pick(objects)) {
            kObjectOps[(code - 43) % 11 - 1](*this, *o);
        }
    } else {
        kPaintOps[(code - 56) % 5](*this);
    }
}

}  // namespace

int EngineTarget(const std::uint8_t *data, std::size_t size) {
    const Fixtures &f = Shared();
    BlockBalance balance;
    Input in({data, size});
    const std::uint8_t setup = in.Byte();
    AnimSetDisplayFormat(8, (setup & 1) != 0 ? 1 : 0);
    {
        const EngineScope scope(1, 1);  // the window is SceneCheck's
        EngineState *e = scope.engine;
        SceneCheck check(e, kMaxSceneWidth * kMaxScale, kMaxSceneHeight * kMaxScale);
        const std::size_t scene = (setup >> 1) % 4;
        if (scene < f.backgrounds.size()) {
            FUZZ_CHECK(SetBackgroundFromPDIB(e, CopyDIB(f.backgrounds[scene])) == 1);
        } else {
            FUZZ_CHECK(MakeOffScreenDib(e, kMaxSceneWidth, kMaxSceneHeight) == 0);
        }
        FUZZ_CHECK(InitProjector(e, kMaxObjects, kSampleSequences, 1) == 1);
        DupKOVRLETableSetup(e, 16, 8, 32);
        SetPlayerNumbersTeamColor(e, 0, 200);
        SetPlayerNumbersTeamColor(e, 1, 201);
        const std::array<std::int32_t, kSampleSequences> ids{kFirstId, kFirstId + 1};
        FUZZ_CHECK(LoadMultiAnim(e, ANIMATE_FUZZ_FIXTURES "/sample.anx", ids.data(), kSampleSequences, 2,
                                 ANIM_LOAD_PLAYER_NUMBERS) >= 0);
        Game game{e, in, check};
        for (std::int32_t calls = 0; calls < kMaxCalls && in.Remaining() > 0; ++calls) game.Call();
        check.Paint(PaintMode{});
        TerminateProjector(e);
    }
    AnimSetDisplayFormat(8, 1);
    SetJoinRectOverhead(3000);
    dib::SetJoinMode(dib::JoinMode::kCost);
    return 0;
}

}  // namespace anim::fuzz
