// The sprite engine and the projector driven by sequences of calls, with
// every paint held against a full repaint and the reference compositor
// (scene_check.h).
//
//   input := setup(1) call*
//   setup := bit 0 top-down surfaces, bits 1-2 the starting scene (one of
//            three backgrounds, or an off-screen image without one)
//   call  := code(1) arguments (as Game::Call and the group it picks read them)
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
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine.h"
#include "dib/rect.h"
#include "fuzz_support.h"
#include "sample_animation.h"
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
constexpr std::int32_t kDepths[] = {0, 1, 5, 5, 10, 20, 100, 32767, 32768, -1, 7, 50};
constexpr std::int32_t kAnchors[] = {ANIM_ANCHOR_CENTRE, ANIM_ANCHOR_FOOT, ANIM_ANCHOR_TOP_LEFT, 2};

std::uint8_t Art(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    const std::uint32_t v = (static_cast<std::uint32_t>(x * 7 + y * 3) + seed * 11) % 61;
    return static_cast<std::uint8_t>(v < 9 ? 0 : 10 + v * 3);
}

BITMAPINFOHEADER *Picture(std::int32_t w, std::int32_t h, std::uint32_t seed, bool opaque) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    FUZZ_CHECK(dib != nullptr);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint8_t v = Art(x, y, seed);
            *GetDIBPixelAddress(dib, x, y) = opaque && v == 0 ? 1 : v;
        }
    return dib;
}

std::string WriteFile(const char *name, const std::vector<std::uint8_t> &bytes) {
    const std::string path = (ScratchFolder() / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Pictures, frames and files every run borrows, made once.
struct Fixtures {
    std::vector<BITMAPINFOHEADER *> backgrounds;
    std::vector<BITMAPINFOHEADER *> pictures;  // sprite images; null among them
    BITMAPINFOHEADER *sheet;
    std::vector<ANXFRAME *> frames;
    std::vector<std::string> backgroundFiles;
    std::string animation;

    Fixtures() {
        backgrounds = {Picture(40, 32, 1, true), Picture(kMaxSceneWidth, kMaxSceneHeight, 2, true),
                       Picture(24, 20, 3, true)};
        pictures = {Picture(1, 1, 4, true),    Picture(5, 3, 5, false),
                    Picture(8, 8, 6, false),   Picture(13, 9, 7, false),
                    Picture(20, 16, 8, false), Picture(3, 30, 9, false),
                    Picture(40, 2, 10, false), nullptr};
        sheet = Picture(32, 24, 11, false);
        const RECT whole{0, 0, 12, 8}, part{2, 1, 6, 5};
        const RECT two[] = {{0, 0, 6, 4}, {3, 3, 12, 8}};
        const POINT origin{-3, 2};
        frames = {CopyDIBToAnxFrame(pictures[3], &origin, &whole, 1),
                  CopyDIBToAnxFrame(pictures[2], nullptr, &part, 1),
                  CopyDIBToAnxFrame(pictures[3], nullptr, two, 2)};
        for (const ANXFRAME *f : frames) FUZZ_CHECK(f != nullptr);
        for (std::size_t i : {std::size_t{0}, std::size_t{2}}) {
            const std::string path =
                (ScratchFolder() / ("background" + std::to_string(i) + ".dib")).string();
            FUZZ_CHECK(WriteDIB(path.c_str(), backgrounds[i]) == 1);
            backgroundFiles.push_back(path);
        }
        animation = WriteFile("sample.anx", SampleAnimation());
    }
};

// Never destroyed: the blocks stay reachable to the leak check at exit.
const Fixtures &Shared() {
    static const Fixtures *fixtures = new Fixtures;
    return *fixtures;
}

// What the game knows of its sprites and images.
struct GameSprite {
    std::int32_t handle;
    std::size_t image;  // into Game::images_
    std::int32_t x, y, depth, anchor;
};

struct GameImage {
    std::int32_t handle;
    // Frame pixels: the image's size bounds any part of it taken later
    // (the engine addresses such pixels by the image's own width).
    bool framePixels;
    std::int32_t width, height;
};

struct GameObject {
    std::int32_t handle;
    std::int32_t sequence;  // kSampleScalable, kSampleDelta or -1
};

class Game {
  public:
    Game(EngineState *e, Input &in, SceneCheck &check) : e_(e), in_(in), check_(check) {}

    void Call();

  private:
    std::int32_t X() { return in_.Range(-16, kMaxSceneWidth + 16); }
    std::int32_t Y() { return in_.Range(-16, kMaxSceneHeight + 16); }
    std::int32_t Depth() {
        return in_.Flag() ? kDepths[in_.Byte() % std::size(kDepths)] : in_.Range(-2, 40);
    }
    std::int32_t Anchor() { return kAnchors[in_.Byte() % std::size(kAnchors)]; }
    template <typename T>
    T *Pick(std::vector<T> &items) {
        return items.empty() ? nullptr : &items[in_.Byte() % items.size()];
    }

    void Place(const GameSprite &s, bool shown) {
        if (shown) {
            ShowSprite(e_, s.handle, s.x, s.y, s.depth, s.anchor);
        } else {
            SetSpritePosition(e_, s.handle, s.x, s.y, s.depth, s.anchor);
        }
    }
    bool Shown(std::int32_t sprite) const { return e_->sprites[sprite].shown != 0; }
    // After an image changed: every sprite showing it placed again, which
    // repaints where it was and where it is.
    void PlaceUsersOf(std::size_t image) {
        for (const GameSprite &s : sprites_) {
            if (s.image == image) Place(s, Shown(s.handle));
        }
    }
    void MarkSprite(std::int32_t sprite) {
        if (sprite < 0 || !Shown(sprite)) return;
        const RECT &r = e_->sprites[sprite].rect;
        MakeRectInvalid(e_, r.left, r.top, r.right, r.bottom);
    }
    // A projector call that by its contract repaints nothing: the caller
    // marks where the object's sprite was and where it is now.
    template <typename Call>
    void Unrepainted(const GameObject &o, Call call) {
        const std::int32_t sprite = GetSprite(e_, o.handle);
        MarkSprite(sprite);
        call();
        MarkSprite(sprite);
    }

    void AddSpriteCall();
    void SpriteCall(std::uint8_t code);
    void ImageCall(std::uint8_t code);
    void SceneCall(std::uint8_t code);
    void PaletteCall();
    void ObjectCall(std::uint8_t code);
    void PaintCall(std::uint8_t code);
    std::size_t NewImage(std::int32_t handle);
    void SetImageSize(GameImage &image);

    EngineState *e_;
    Input &in_;
    SceneCheck &check_;
    std::vector<GameSprite> sprites_;
    std::vector<GameImage> images_;
    std::vector<std::int32_t> templates_;
    std::vector<GameObject> objects_;
    bool deltaStartGone_ = false;
};

std::size_t Game::NewImage(std::int32_t handle) {
    images_.push_back({handle, false, 0, 0});
    return images_.size() - 1;
}

void Game::SetImageSize(GameImage &image) {
    GetDibSize(e_, image.handle, &image.width, &image.height);
}

void Game::AddSpriteCall() {
    const std::size_t image = in_.Byte() % std::max<std::size_t>(images_.size(), 1);
    const bool show = in_.Flag();
    GameSprite s{-1, image, X(), Y(), Depth(), Anchor()};
    if (images_.empty() || sprites_.size() >= kMaxSprites) return;
    s.handle = AddSprite(e_);
    FUZZ_CHECK(s.handle >= 0 && !Shown(s.handle));
    SetSpriteSpriteDib(e_, s.handle, images_[image].handle);
    Place(s, show);
    sprites_.push_back(s);
}

void Game::SpriteCall(std::uint8_t code) {
    GameSprite *s = Pick(sprites_);
    if (s == nullptr) return;
    switch (code) {
        case 0:  // moved anywhere
            s->x = X();
            s->y = Y();
            s->depth = Depth();
            s->anchor = Anchor();
            ShowSprite(e_, s->handle, s->x, s->y, s->depth, s->anchor);
            break;
        case 1:  // nudged: the old and new places overlap
            s->x += in_.Range(-3, 3);
            s->y += in_.Range(-3, 3);
            ShowSprite(e_, s->handle, s->x, s->y, s->depth, s->anchor);
            break;
        case 2: {
            const bool hide = in_.Flag();
            const bool was = Shown(s->handle);
            if (hide) {
                FUZZ_CHECK(HideSprite(e_, s->handle) == (was ? 1 : 0));
            } else {
                FUZZ_CHECK(UnHideSprite(e_, s->handle) == (was ? 0 : 1));
            }
            break;
        }
        case 3: {  // deleted, hidden first
            HideSprite(e_, s->handle);
            FUZZ_CHECK(DeleteSprite(e_, s->handle) == 0);
            sprites_.erase(sprites_.begin() + (s - sprites_.data()));
            break;
        }
        case 4: {  // another image: hidden first, shown again where it was
            const std::size_t image = in_.Byte() % images_.size();
            const bool shown = HideSprite(e_, s->handle) != 0;
            SetSpriteSpriteDib(e_, s->handle, images_[image].handle);
            s->image = image;
            Place(*s, shown);
            break;
        }
    }
}

void Game::ImageCall(std::uint8_t code) {
    const Fixtures &f = Shared();
    switch (code) {
        case 0: {  // a picture, or none
            BITMAPINFOHEADER *dib = f.pictures[in_.Byte() % f.pictures.size()];
            if (images_.size() >= kMaxImages) return;
            const std::int32_t handle = AddSpriteDib(e_, dib);
            FUZZ_CHECK(handle >= 0);
            SetImageSize(images_[NewImage(handle)]);
            return;
        }
        case 1: {  // from a template, any rectangle of it
            const std::int32_t left = in_.Range(-6, 34), top = in_.Range(-6, 26);
            const std::int32_t w = in_.Range(-2, 24), h = in_.Range(-2, 20);
            const bool another = in_.Flag();
            if (images_.size() >= kMaxImages) return;
            if (templates_.empty() || another) {
                if (templates_.size() >= kMaxTemplates) return;
                const std::int32_t t = AddSpriteTemplate(e_, f.sheet);
                FUZZ_CHECK(t >= 0);
                templates_.push_back(t);
            }
            const std::int32_t t = templates_.back();
            const std::int32_t handle = AddSpriteDibFromTemplate(e_, t, left, top, w, h);
            if (handle >= 0) SetImageSize(images_[NewImage(handle)]);
            return;
        }
        case 2:
            if (!templates_.empty()) {
                DeleteSpriteTemplate(e_, templates_.back());
                templates_.pop_back();
            }
            return;
    }
    if (images_.empty()) return;
    const std::size_t index = in_.Byte() % images_.size();
    GameImage &image = images_[index];
    switch (code) {
        case 3:
            SetSpriteDib(e_, image.handle, f.pictures[in_.Byte() % f.pictures.size()]);
            image.framePixels = false;
            break;
        case 4: {
            const std::int32_t left = in_.Range(-6, 34), top = in_.Range(-6, 26);
            const std::int32_t w = in_.Range(-2, 24), h = in_.Range(-2, 20);
            if (templates_.empty()) return;
            SetSpriteDibFromTemplate(e_, templates_[in_.Byte() % templates_.size()], image.handle,
                                     left, top, w, h);
            image.framePixels = false;
            break;
        }
        case 5:
            SetSpriteDibFromAnxFrameRect0(e_, image.handle, f.frames[in_.Byte() % f.frames.size()]);
            image.framePixels = true;
            break;
        case 6: {  // a part of the image's picture
            RECT r{in_.Range(-4, 30), in_.Range(-4, 30), 0, 0};
            r.right = r.left + in_.Range(-2, 24);
            r.bottom = r.top + in_.Range(-2, 24);
            if (image.framePixels) {
                // Frame pixels have no size of their own beyond the image's.
                r.left = std::clamp<std::int32_t>(r.left, 0, image.width);
                r.top = std::clamp<std::int32_t>(r.top, 0, image.height);
                r.right = std::min(r.right, image.width - 1);
                r.bottom = std::min(r.bottom, image.height - 1);
            }
            SetSpriteDibSizeFromRect(e_, image.handle, &r);
            break;
        }
        case 7: {  // deleted, when no sprite shows it
            for (const GameSprite &s : sprites_) {
                if (s.image == index) return;
            }
            FUZZ_CHECK(DeleteSpriteDib(e_, image.handle) == 0);
            images_.erase(images_.begin() + static_cast<std::ptrdiff_t>(index));
            for (GameSprite &s : sprites_) s.image -= s.image > index ? 1 : 0;
            return;
        }
    }
    SetImageSize(image);
    PlaceUsersOf(index);
}

void Game::SceneCall(std::uint8_t code) {
    const Fixtures &f = Shared();
    // What the game had marked before a call that empties the list.
    const std::vector<RECT> marked(e_->invalidRects,
                                   e_->invalidRects + std::clamp(e_->invalidCount, 0, 256));
    auto markAgain = [&] {
        for (const RECT &r : marked) MakeRectInvalid(e_, r.left, r.top, r.right, r.bottom);
    };
    switch (code) {
        case 0: {
            const std::int32_t left = X(), top = Y(), right = X(), bottom = Y();
            MakeRectInvalid(e_, left, top, right, bottom);
            break;
        }
        case 1:
            MakeScanlineInvalid(e_, in_.Range(-2, kMaxSceneHeight * 2));
            break;
        case 2: {  // sort order: the callbacks' layers need depth order
            const std::int32_t mode = std::array{0, 1, -1, 7}[in_.Byte() % 4];
            if (mode == 0 && e_->drawCallbackCount != 0) return;
            SetSortMode(e_, mode);
            check_.InvalidateAll();
            break;
        }
        case 3: {  // the process-wide join settings
            const std::int32_t overhead = std::array{3000, 0, -1, 100, 20000, 1}[in_.Byte() % 6];
            SetJoinRectOverhead(overhead);
            dib::SetJoinMode(in_.Flag() ? dib::JoinMode::kEdge : dib::JoinMode::kCost);
            break;
        }
        case 4: {
            const std::int32_t pattern = in_.Byte() % kPatterns;
            const std::int32_t high = Depth(), low = Depth();
            const bool none = in_.Byte() % 8 == 0;  // kept, never called
            if (e_->sortMode == 0) return;
            const bool full =
                e_->drawCallbackCount >= static_cast<std::uint32_t>(animate::kMaxDrawCallbacks);
            const std::uint16_t result =
                RegisterDrawCallback(e_, none ? nullptr : &PatternCallback, high, low, pattern);
            FUZZ_CHECK(result == (low > high ? 10 : full ? 8 : 0));
            check_.InvalidateAll();
            break;
        }
        case 5: {
            if (e_->drawCallbackCount == 0) return;
            const animate::DrawCallbackEntry entry =
                e_->drawCallbacks[in_.Byte() % e_->drawCallbackCount];
            FUZZ_CHECK(
                UnregisterDrawCallback(e_, entry.function, entry.highDepth, entry.lowDepth) == 0);
            check_.InvalidateAll();
            break;
        }
        case 6:
            FUZZ_CHECK(UnregisterAllDrawCallbacks(e_) == 0 && e_->drawCallbackCount == 0);
            check_.InvalidateAll();
            break;
        case 7:  // the engine takes the copy and marks the whole scene
            FUZZ_CHECK(SetBackgroundFromPDIB(
                           e_, CopyDIB(f.backgrounds[in_.Byte() % f.backgrounds.size()])) == 1);
            break;
        case 8: {
            const bool colours = in_.Flag();
            if (colours) ReleasePalette(e_);
            FUZZ_CHECK(SetBackgroundDibOnly(
                           e_, f.backgroundFiles[in_.Byte() % f.backgroundFiles.size()].c_str(),
                           colours ? 1 : 0) == 1);
            markAgain();
            // The engine marks where the picture lies unscrolled; a game that
            // scrolls it marks the scene.
            if (check_.Scrolled()) check_.InvalidateAll();
            break;
        }
        case 9:
            DeleteBackgroundDibOnly(e_);
            break;
        case 10: {  // a new surface holds nothing yet
            const std::int32_t w = in_.Range(0, kMaxSceneWidth), h = in_.Range(0, kMaxSceneHeight);
            FUZZ_CHECK(MakeOffScreenDib(e_, w, h) == (w > 0 && h > 0 ? 0 : 1));
            markAgain();
            check_.InvalidateAll();
            break;
        }
        case 11:
            SetBackgroundStretch(e_, 1 + in_.Byte() % 2);
            check_.InvalidateAll();
            break;
        case 12: {  // the small picture only: magnified it must still fit the window
            ReleasePalette(e_);
            FUZZ_CHECK(
                SetBackgroundPlus(e_, f.backgroundFiles.back().c_str(), 1 + in_.Byte() % 2) == 1);
            break;
        }
        case 13:
            FUZZ_CHECK(DeleteBackground(e_) == 0);
            break;
        case 14:
            EnablePrinter(e_, in_.Flag() ? 1 : 0);
            break;
        case 15:
            if (in_.Flag()) {
                ResetFixupPaintTimes(e_);
            } else {
                std::uint32_t compose = 0, copy = 0;
                GetFixupPaintTimes(e_, &compose, &copy);
            }
            break;
        case 16: {
            const std::int32_t x = X(), y = Y();
            std::int32_t hit = -7;
            const std::int32_t want = reference::SpriteAt(e_, x, y);
            FUZZ_CHECK(GetSpriteFromPoint(e_, x, y, &hit) == (want >= 0 ? 1 : 0));
            FUZZ_CHECK(hit == std::max(want, 0));
            break;
        }
        case 17: {  // a picture as the model of the surface, and no background
            BITMAPINFOHEADER *model = f.pictures[in_.Byte() % f.pictures.size()];
            FUZZ_CHECK(SetOffScreenDib(e_, model) == nullptr);
            markAgain();
            check_.InvalidateAll();
            break;
        }
        case 18: {  // moved, not resized, into the scene when it fits
            RECT r{X(), Y(), 0, 0};
            r.right = r.left + in_.Range(-1, kMaxSceneWidth);
            r.bottom = r.top + in_.Range(-1, kMaxSceneHeight);
            const RECT before = r, &scene = e_->sceneRect;
            OffsetRectInsideBackground(e_, &r);
            FUZZ_CHECK(r.right - r.left == before.right - before.left &&
                       r.bottom - r.top == before.bottom - before.top);
            if (scene.right >= 0 && scene.bottom >= 0 &&
                before.right - before.left <= scene.right &&
                before.bottom - before.top <= scene.bottom)
                FUZZ_CHECK(r.left >= 0 && r.top >= 0 && r.right <= scene.right &&
                           r.bottom <= scene.bottom);
            break;
        }
    }
}

// Colours only: the window's pixels are indices and stay as they are.
void Game::PaletteCall() {
    const std::int32_t first = in_.Range(-2, 257), last = in_.Range(-2, 257);
    const RGBQUAD colour{in_.Byte(), in_.Byte(), in_.Byte(), 0};
    switch (in_.Byte() % 8) {
        case 0:
            SetBlacknessFade(e_, in_.Flag() ? 1 : 0);
            break;
        case 1:
            FadeBlacknessScene(e_, in_.Flag() ? 1 : 0);
            break;
        case 2:
            FadeBlacknessSceneLimited(e_, in_.Flag() ? 1 : 0, first, last);
            break;
        case 3: {
            std::array<RGBQUAD, animate::kXrayColourCount> colours;
            colours.fill(colour);
            SetXrayFade(e_, colours.data(), in_.Flag() ? 1 : 0);
            break;
        }
        case 4:
            FadeXrayScene(e_, in_.Flag() ? 1 : 0);
            break;
        case 5:
            CyclePalette(e_, first, last);
            break;
        case 6:
            RedirectColor(e_, first, last);
            break;
        case 7:
            AddColor(e_, first, &colour);
            break;
    }
}

void Game::ObjectCall(std::uint8_t code) {
    if (code == 0) {
        if (objects_.size() >= kMaxObjects) return;
        const std::int32_t handle = GetAnimObject(e_);
        FUZZ_CHECK(handle >= 0);
        objects_.push_back({handle, -1});
        return;
    }
    GameObject *o = Pick(objects_);
    if (o == nullptr) return;
    switch (code) {
        case 1: {  // another sequence: what it showed is erased first
            const std::int32_t choice = in_.Byte() % 4;
            const std::int32_t table = in_.Byte() % 3;
            HideFrame(e_, o->handle);
            const std::int32_t id = choice < kSampleSequences ? kFirstId + choice
                                    : choice == 2             ? 7
                                                              : -1;
            const std::int32_t bound = SetAnimObjectAnim(e_, o->handle, id, table, 0);
            // A delta sequence whose frame 0 was released has no picture to
            // start from.
            const bool playable = choice != 2 && !(choice == kSampleDelta && deltaStartGone_);
            FUZZ_CHECK(bound == (playable ? 1 : 0));
            o->sequence = choice < kSampleSequences && playable ? choice : -1;
            break;
        }
        case 2: {
            const std::int32_t number = in_.Byte() % 100, flag = in_.Byte() & 1;
            SetAnimObjectPlayerNumber(e_, o->handle, number, flag);
            break;
        }
        case 3: {
            const std::int32_t x = X(), y = Y(), depth = Depth();
            const bool show = in_.Byte() % 4 != 0;
            const std::int32_t scale = in_.Flag() ? 100 : in_.Range(1, 100);
            const std::int32_t flags = in_.Byte() & 1;
            if (show) {
                ProjectFrameScaleFlip(e_, o->handle, x, y, depth, 1, scale, flags);
            } else {
                Unrepainted(*o, [&] {
                    ProjectFrameScaleFlip(e_, o->handle, x, y, depth, 0, scale, flags);
                });
            }
            break;
        }
        case 4: {
            const std::int32_t target = in_.Range(-2, 6);
            const std::int32_t sprite = GetSprite(e_, o->handle);
            if (Shown(sprite)) {
                SetFrameNum(e_, o->handle, target);
            } else {
                Unrepainted(*o, [&] { SetFrameNum(e_, o->handle, target); });
            }
            break;
        }
        case 5:
            if (in_.Flag()) {
                RewindAnx(e_, o->handle);
            } else {
                OldRewindAnx(e_, o->handle);
            }
            break;
        case 6:
            switch (in_.Byte() % 4) {
                case 0:
                    ErasePreviousFrame(e_, o->handle);
                    break;
                case 1:
                    if (in_.Flag()) {
                        ErasePreviousFramePlus(e_, o->handle, 1);
                    } else {
                        Unrepainted(*o, [&] { ErasePreviousFramePlus(e_, o->handle, 0); });
                    }
                    break;
                case 2:
                    HideFrame(e_, o->handle);
                    break;
                case 3:
                    ShowFrame(e_, o->handle);
                    break;
            }
            break;
        case 7: {
            const bool first = GetFrameNum(e_, o->handle) == 1;
            const std::int32_t released = DeleteFrameImmediate(e_, o->handle);
            deltaStartGone_ |= released == 1 && first && o->sequence == kSampleDelta;
            break;
        }
        case 8:  // gone, erased first
            HideFrame(e_, o->handle);
            DestroyAnimObject(e_, o->handle);
            objects_.erase(objects_.begin() + (o - objects_.data()));
            break;
        case 9: {
            const std::int32_t frame = in_.Range(-1, 4), x = in_.Range(-8, 8), y = in_.Range(-8, 8);
            if (in_.Flag()) {
                SetSeqFrameOffset(e_, o->handle, frame, x, y);
            } else if (o->sequence == kSampleScalable) {
                SetFrameOffsetXY(e_, o->handle, frame, x, y);
            }
            break;
        }
        case 10: {
            const std::int32_t x = X(), y = Y();
            const std::int32_t hit = GetSeqFromPoint(e_, x, y);
            const std::int32_t sprite = reference::SpriteAt(e_, x, y);
            FUZZ_CHECK(hit == -1 || (sprite >= 0 && GetSprite(e_, hit) == sprite));
            break;
        }
    }
}

void Game::PaintCall(std::uint8_t code) {
    PaintMode mode;
    switch (code) {
        case 0:
            break;
        case 1:
            mode.painter = PaintMode::kStretch;
            mode.scale = in_.Range(1, kMaxScale);
            break;
        case 2:
            mode.painter = PaintMode::kPartial;
            mode.low = Depth();
            mode.high = in_.Flag() ? animate::kBackgroundDepth : Depth();
            break;
        case 3:
            mode.painter = PaintMode::kStretchPlus;
            mode.scale = in_.Range(1, kMaxScale);
            mode.scrollX = in_.Range(-8, 8);
            mode.scrollY = in_.Range(-8, 8);
            break;
        case 4: {
            RECT r{X(), Y(), 0, 0};
            r.right = r.left + in_.Range(-2, 30);
            r.bottom = r.top + in_.Range(-2, 30);
            check_.PaintRect(r);
            return;
        }
    }
    check_.Paint(mode);
}

// A call's code picks its group; each group takes as many of the 64 codes
// as it is to be weighted.
void Game::Call() {
    const std::uint8_t code = in_.Byte() % 64;
    if (code < 4) return AddSpriteCall();
    if (code < 14) return SpriteCall(static_cast<std::uint8_t>(code % 5));
    if (code < 22) return ImageCall(static_cast<std::uint8_t>(code - 14));
    if (code < 41) return SceneCall(static_cast<std::uint8_t>(code - 22));
    if (code < 43) return PaletteCall();
    if (code < 56) return ObjectCall(static_cast<std::uint8_t>(code - 43) % 11);
    return PaintCall(static_cast<std::uint8_t>(code - 56) % 5);
}

}  // namespace

int EngineTarget(const std::uint8_t *data, std::size_t size) {
    const Fixtures &f = Shared();
    BlockBalance balance;
    Input in({data, size});
    const std::uint8_t setup = in.Byte();
    AnimSetDisplayFormat(8, (setup & 1) != 0 ? 1 : 0);
    EngineState *e = InitAnimate();
    FUZZ_CHECK(e != nullptr);
    {
        SceneCheck check(e, kMaxSceneWidth, kMaxSceneHeight, kMaxScale);
        const std::size_t scene = (setup >> 1) % 4;
        if (scene < f.backgrounds.size()) {
            FUZZ_CHECK(SetBackgroundFromPDIB(e, CopyDIB(f.backgrounds[scene])) == 1);
        } else {
            FUZZ_CHECK(MakeOffScreenDib(e, kMaxSceneWidth, kMaxSceneHeight) == 0);
        }
        FUZZ_CHECK(InitProjector(e, static_cast<std::int32_t>(kMaxObjects), kSampleSequences, 1) ==
                   1);
        DupKOVRLETableSetup(e, 16, 8, 32);
        SetPlayerNumbersTeamColor(e, 0, 200);
        SetPlayerNumbersTeamColor(e, 1, 201);
        std::array<std::int32_t, kSampleSequences> ids;
        for (std::int32_t i = 0; i < kSampleSequences; ++i)
            ids[static_cast<std::size_t>(i)] = kFirstId + i;
        const std::int32_t animation = LoadMultiAnim(e, f.animation.c_str(), ids.data(),
                                                     kSampleSequences, 2, ANIM_LOAD_PLAYER_NUMBERS);
        FUZZ_CHECK(animation >= 0);

        Game game(e, in, check);
        for (std::int32_t calls = 0; calls < kMaxCalls && in.Remaining() > 0; ++calls) game.Call();
        check.Paint(PaintMode{});
        TerminateProjector(e);
    }
    ReleasePalette(e);
    TerminateAnimate(e);
    FREE(e);
    AnimSetDisplayFormat(8, 1);
    SetJoinRectOverhead(3000);
    dib::SetJoinMode(dib::JoinMode::kCost);
    return 0;
}

}  // namespace anim::fuzz
