// One game frame of the match from the game's moves to the texture, two
// ways, on SDL's software renderer (dummy video driver):
//
// BM_EndToEnd_Animate: 22 players (40 x 56 cells, four run phases, two kits
// through the recoloured table, shirt numbers, 60-100 % by distance,
// mirrored when running left) move; a player whose picture changed (run
// phase, scale or facing: about a third of them a frame) is projected
// again (ProjectFrameScaleFlip), the others' sprites are moved; PaintScene
// repaints the dirty rectangles into the window, and the presenter
// converts only the rectangles the window reports into its streaming
// texture (AnimSdlUpdate).
//
// BM_EndToEnd_Sdl2Usual: what an SDL2 game does for the same picture. SDL2
// cannot blit an 8-bit surface scaled ("Blit combination not supported"),
// so every kit, run phase, direction and scale the match shows is an 8-bit
// colour-keyed RLE surface made once before timing (nearest-neighbour
// SDL_SoftStretch, mirrored rows for the left-running ones), as is every
// shirt number at every scale; all share the game's SDL_Palette, so blits
// are index for index. Each frame: the background is blitted whole into an
// INDEX8 back buffer, the players (far ones first) and their numbers are
// RLE-blitted onto it, the back buffer is converted whole to an ARGB8888
// surface (SDL_BlitSurface) and the texture is updated whole
// (SDL_UpdateTexture).
//
// BM_PaletteStep_*: one fade step that changes no pixel: FadeBlacknessScene
// and AnimSdlUpdate (which converts everything, the colours having
// changed), beside the faded colours set on the back buffer's palette, the
// whole conversion and the whole texture update.
//
// Both stop at the texture: SDL_RenderCopy and SDL_RenderPresent cost the
// same either way and are left out. Real time is the figure to read.
#include <benchmark/benchmark.h>

#if ANIMATE_BENCH_WITH_PRESENTER
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "animate.h"
#include "animate_sdl.h"
#include "anx_writer.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr int kPlayers = 22;
constexpr int kCellW = 40, kCellH = 56;
constexpr int kRunPhases = 4;
constexpr int kFramesPerPhase = 3;
constexpr int kSmallest = 60, kLargest = 100;
constexpr int kScales = kLargest - kSmallest + 1;
constexpr int kPitchLeft = 24, kPitchRight = 615, kPitchTop = 116, kPitchBottom = 466;
// The kit's colours, as the demo lays them out: kit + 0..7.
constexpr std::uint8_t kKitFirst = 70, kKitCount = 8, kKitShift = 8;
constexpr std::uint8_t kShirtLight = 0, kShirtMid = 1, kShirtDark = 2, kShortsLight = 3,
                       kShortsDark = 4, kSocks = 5, kTrim = 7;
constexpr std::uint8_t kSkin = 60, kHair = 64, kBoot = 86, kShadow = 93;
constexpr std::array<std::uint8_t, 2> kNumberColour = {120, 121};
constexpr int kNumberLeft = 16, kNumberTop = 20;
constexpr int kDigitW = 4, kDigitH = 7, kDigitGap = 1;
constexpr std::int32_t kRunId = 1;
constexpr int kFadeLevels = 15;
constexpr char kLabel[] = "to the texture; render copy and present left out (the same for both)";

// ---- The match's art and moves, shared by both ways -----------------------

std::uint8_t PitchPixel(int x, int y) {
    if (y < kPitchTop - 6)
        return static_cast<std::uint8_t>(130 + (x * 7 + y * 13 + (x * y) % 17) % 60);
    const bool line =
        x == kW / 2 || y == kPitchTop || y == kPitchBottom || x == kPitchLeft || x == kPitchRight;
    return line ? 200 : static_cast<std::uint8_t>(40 + (x / 32) % 2);
}

// Phase p of the run, drawn as the demo draws its players: shadow, legs
// apart or passing, shorts, a shirt lit from the left with a trim, arms,
// head and hair, in runs of a few colours as hand-drawn sprites are.
writer::Image Runner(int phase) {
    writer::Image img(kCellW, kCellH, 0);
    auto fill = [&](int x0, int y0, int x1, int y1, std::uint8_t c) {
        for (int y = std::max(y0, 0); y <= std::min(y1, kCellH - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, kCellW - 1); ++x) img.at(x, y) = c;
    };
    const int cx = kCellW / 2;
    fill(cx - 8, kCellH - 2, cx + 8, kCellH - 1, kShadow);
    const int stride = phase == 0 ? 5 : phase == 2 ? -5 : 0;
    for (int leg = -1; leg <= 1; leg += 2) {
        for (int y = 38; y < kCellH - 1; ++y) {
            const int x = cx + leg * 3 + leg * stride * (y - 38) / 17;
            const std::uint8_t c = y >= kCellH - 3 ? kBoot : y >= 46 ? kKitFirst + kSocks : kSkin;
            fill(x - 1, y, x + 1, y, c);
        }
    }
    fill(cx - 7, 33, cx + 6, 38, kKitFirst + kShortsLight);
    fill(cx + 7, 33, cx + 7, 38, kKitFirst + kShortsDark);
    for (int arm = -1; arm <= 1; arm += 2) {
        fill(cx + arm * 9 - 1, 18, cx + arm * 9, 23, kKitFirst + kShirtDark);
        fill(cx + arm * 9 - 1, 24, cx + arm * 9, 30 - arm * stride / 3, kSkin);
    }
    fill(cx - 7, 17, cx - 6, 31, kKitFirst + kShirtLight);
    fill(cx - 5, 17, cx + 5, 31, kKitFirst + kShirtMid);
    fill(cx + 6, 17, cx + 7, 31, kKitFirst + kShirtDark);
    fill(cx - 6, 32, cx + 6, 32, kKitFirst + kTrim);
    fill(cx - 1, 14, cx + 1, 16, kSkin);
    for (int y = 5; y <= 15; ++y) {
        const int half = y < 7 || y > 13 ? 2 : 4;
        fill(cx - half, y, cx + half, y, y < 8 ? kHair : kSkin);
    }
    return img;
}

// The seven segments of a digit cell: top, upper left, upper right, middle,
// lower left, lower right, bottom.
template <typename Paint>
void Segments(int x0, Paint paint) {
    for (int x = x0 + 1; x < x0 + kDigitW - 1; ++x) {
        paint(0, x, 0);
        paint(3, x, kDigitH / 2);
        paint(6, x, kDigitH - 1);
    }
    for (int y = 1; y < kDigitH - 1; ++y) {
        if (y == kDigitH / 2) continue;
        paint(y < kDigitH / 2 ? 1 : 4, x0, y);
        paint(y < kDigitH / 2 ? 2 : 5, x0 + kDigitW - 1, y);
    }
}

// The number overlay the projector lights by segment colour.
writer::Image NumberArt() {
    constexpr std::uint8_t kLeft[7] = {1, 4, 2, 3, 5, 7, 6};
    constexpr std::uint8_t kRight[7] = {9, 8, 246, 247, 248, 250, 249};
    writer::Image art(2 * kDigitW + kDigitGap, kDigitH, 0);
    Segments(0, [&](int s, int x, int y) { art.at(x, y) = kLeft[s]; });
    Segments(kDigitW + kDigitGap, [&](int s, int x, int y) { art.at(x, y) = kRight[s]; });
    return art;
}

// The same number drawn directly in a team's colour, for the usual way.
writer::Image NumberPicture(int number, std::uint8_t colour) {
    constexpr std::uint8_t kLit[10] = {0x77, 0x24, 0x5D, 0x6D, 0x2E, 0x6B, 0x7B, 0x25, 0x7F, 0x6F};
    writer::Image art(2 * kDigitW + kDigitGap, kDigitH, 0);
    auto digit = [&](int x0, int d) {
        Segments(x0, [&](int s, int x, int y) {
            if ((kLit[d] >> s) & 1) art.at(x, y) = colour;
        });
    };
    if (number >= 10) digit(0, number / 10);
    digit(kDigitW + kDigitGap, number % 10);
    return art;
}

struct Runner2D {
    int x, y, vx, vy, team, number, phase;
    bool Mirrored() const { return vx < 0; }
    int Scale() const {
        return kSmallest + (kLargest - kSmallest) * (y - kPitchTop) / (kPitchBottom - kPitchTop);
    }
    int Depth() const { return kH - y; }
};

std::array<Runner2D, kPlayers> KickOff() {
    std::array<Runner2D, kPlayers> r{};
    for (int i = 0; i < kPlayers; ++i) {
        r[i] = {kPitchLeft + 30 + (i * 97) % 540,
                kPitchTop + 60 + (i * 53) % 280,
                (i % 2 ? -2 : 2) + i % 3 - 1,
                (i % 3) - 1,
                i % 2,
                1 + i / 2,
                i % kRunPhases};
    }
    return r;
}

// One game frame of moves: everyone runs, turning at the pitch's edges.
void Move(std::array<Runner2D, kPlayers> &players, int tick) {
    for (Runner2D &p : players) {
        if (p.x + p.vx < kPitchLeft + kCellW / 2 || p.x + p.vx > kPitchRight - kCellW / 2)
            p.vx = -p.vx;
        if (p.y + p.vy < kPitchTop + kCellH || p.y + p.vy > kPitchBottom) p.vy = -p.vy;
        p.x += p.vx;
        p.y += p.vy;
        if ((tick + p.number) % kFramesPerPhase == 0) p.phase = (p.phase + 1) % kRunPhases;
    }
}

RGBQUAD GameColour(int i) {
    return RGBQUAD{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(60 + i * 11),
                   static_cast<std::uint8_t>(255 - i), 0};
}

// The renderer both ways draw with: software, on SDL's dummy video driver.
struct Video {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    Video() {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        window = SDL_CreateWindow("bench", 0, 0, kW, kH, SDL_WINDOW_HIDDEN);
        if (window != nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    }
};

SDL_Renderer *TheRenderer() {
    static const Video video;
    return video.renderer;
}

// ---- The library's way ------------------------------------------------------

std::string WriteRunFile() {
    std::vector<writer::Frame> run;
    for (int phase = 0; phase < kRunPhases; ++phase) {
        writer::Frame f;
        f.image = Runner(phase);
        f.originX = -kCellW / 2;
        f.originY = -kCellH;
        f.number = writer::NumberOverlay{NumberArt(), kNumberLeft, kNumberTop};
        run.push_back(std::move(f));
    }
    writer::Writer writer;
    if (!writer.AddScalableSequence(run, "run")) return {};
    const std::string path = "/tmp/animate-end-to-end-bench.anx";
    return writer.Write(path) ? path : std::string{};
}

class LibraryMatch {
  public:
    LibraryMatch() {
        BITMAPINFOHEADER *pitch = CreateDIB(kW, kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *GetDIBPixelAddress(pitch, x, y) = PitchPixel(x, y);
        std::array<RGBQUAD, 256> colours{};
        for (int i = 0; i < 256; ++i) colours[i] = GameColour(i);
        ColorsFromTable(engine_, colours.data(), 10, 245);
        palette_ = CreateMasterPalette(engine_, 10, 245);
        SetBackgroundFromPDIB(engine_, pitch);
        SetPalette(engine_, window_);
        InitProjector(engine_, kPlayers + 2, 4, 1);
        DupKOVRLETableSetup(engine_, kKitFirst, kKitCount, kKitShift);
        for (int team = 0; team < 2; ++team)
            SetPlayerNumbersTeamColor(engine_, team, kNumberColour[team]);
        const std::string path = WriteRunFile();
        const std::int32_t ids[] = {kRunId};
        ok_ = !path.empty() &&
              LoadMultiAnim(engine_, path.c_str(), ids, 1, 2, ANIM_LOAD_PLAYER_NUMBERS) == 0;
        std::remove(path.c_str());
        for (const Runner2D &p : players_) {
            const std::int32_t o = GetAnimObject(engine_);
            ok_ = ok_ && SetAnimObjectAnim(engine_, o, kRunId, p.team, 0) == 1;
            SetAnimObjectPlayerNumber(engine_, o, p.number, 0);
            objects_.push_back(o);
        }
        presenter_ = AnimSdlCreatePresenter(TheRenderer(), window_, ANIM_SDL_WHOLE_SCALE);
        ok_ = ok_ && presenter_ != nullptr && Frame() > 0;
        projected_ = true;
        SetBlacknessFade(engine_, 1);
    }
    ~LibraryMatch() {
        AnimSdlDestroyPresenter(presenter_);
        TerminateProjector(engine_);
        TerminateAnimate(engine_);
        FREE(engine_);
        AnimDeletePalette(palette_);
        AnimDestroyWindowDC(window_);
    }
    LibraryMatch(const LibraryMatch &) = delete;
    LibraryMatch &operator=(const LibraryMatch &) = delete;

    bool ok() const { return ok_; }

    // Moves, projection, paint and texture update; the pixels converted.
    std::int32_t Frame() {
        const std::array<Runner2D, kPlayers> was = players_;
        Move(players_, tick_++);
        for (std::size_t i = 0; i < players_.size(); ++i) Place(objects_[i], was[i], players_[i]);
        PaintScene(engine_, window_);
        return AnimSdlUpdate(presenter_);
    }

    // One fade step down or up from full colour, then the texture update.
    std::int32_t PaletteStep() {
        FadeBlacknessScene(engine_, down_ ? 0 : 1);
        down_ = !down_;
        return AnimSdlUpdate(presenter_);
    }

  private:
    // A player's frame is expanded again when his picture changes (run
    // phase, scale, facing); otherwise his sprite only moves, as the
    // usual way blits the picture it already has.
    void Place(std::int32_t object, const Runner2D &was, const Runner2D &p) {
        const bool same =
            was.phase == p.phase && was.Scale() == p.Scale() && was.Mirrored() == p.Mirrored();
        if (same && projected_) {
            const std::int32_t sprite = GetSprite(engine_, object);
            RECT r{};
            GetSpriteRect(engine_, &r, sprite);
            ShowSprite(engine_, sprite, r.left + p.x - was.x, r.top + p.y - was.y, p.Depth(),
                       ANIM_ANCHOR_TOP_LEFT);
            return;
        }
        SetFrameNum(engine_, object, p.phase);
        ProjectFrameScaleFlip(engine_, object, p.x, p.y, p.Depth(), 1, p.Scale(),
                              p.Mirrored() ? ANIM_PROJECT_MIRROR : 0);
    }

    EngineState *engine_ = InitAnimate();
    HDC window_ = AnimCreateWindowDC(kW, kH);
    HPALETTE palette_ = nullptr;
    AnimSdlPresenter *presenter_ = nullptr;
    std::array<Runner2D, kPlayers> players_ = KickOff();
    std::vector<std::int32_t> objects_;
    int tick_ = 0;
    bool down_ = true;
    bool projected_ = false;
    bool ok_ = false;
};

// ---- The usual SDL2 way -------------------------------------------------------

SDL_Surface *Indexed(int w, int h, SDL_Palette *palette) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 8, SDL_PIXELFORMAT_INDEX8);
    if (s != nullptr) SDL_SetSurfacePalette(s, palette);
    return s;
}

// A colour-keyed RLE sprite of img at scale percent, mirrored or not,
// made from a full-size surface with SDL's nearest-neighbour stretch.
SDL_Surface *Sprite(const writer::Image &img, int scale, bool mirrored, SDL_Palette *palette) {
    SDL_Surface *full = Indexed(img.width, img.height, palette);
    SDL_Surface *sized = Indexed(std::max(1, img.width * scale / 100),
                                 std::max(1, img.height * scale / 100), palette);
    if (full == nullptr || sized == nullptr) return nullptr;
    for (int y = 0; y < img.height; ++y) {
        auto *row = static_cast<std::uint8_t *>(full->pixels) + y * full->pitch;
        for (int x = 0; x < img.width; ++x) row[x] = img.at(mirrored ? img.width - 1 - x : x, y);
    }
    SDL_SoftStretch(full, nullptr, sized, nullptr);
    SDL_FreeSurface(full);
    SDL_SetColorKey(sized, SDL_TRUE, 0);
    SDL_SetSurfaceRLE(sized, 1);
    return sized;
}

class UsualMatch {
  public:
    UsualMatch() {
        palette_ = SDL_AllocPalette(256);
        for (int i = 0; i < 256; ++i) full_[i] = Colour(GameColour(i), kFadeLevels);
        SDL_SetPaletteColors(palette_, full_.data(), 0, 256);
        background_ = Indexed(kW, kH, palette_);
        back_ = Indexed(kW, kH, palette_);
        argb_ = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
        texture_ = SDL_CreateTexture(TheRenderer(), SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, kW, kH);
        ok_ = palette_ && background_ && back_ && argb_ && texture_;
        if (!ok_) return;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                static_cast<std::uint8_t *>(background_->pixels)[y * background_->pitch + x] =
                    PitchPixel(x, y);
        MakeSprites();
        // The first blit of each sprite encodes its runs: before timing.
        for (SDL_Surface *s : kits_)
            ok_ = ok_ && s != nullptr && SDL_BlitSurface(s, nullptr, back_, nullptr) == 0;
        for (SDL_Surface *s : numbers_)
            ok_ = ok_ && s != nullptr && SDL_BlitSurface(s, nullptr, back_, nullptr) == 0;
        ok_ = ok_ && Frame() == 0;
    }
    ~UsualMatch() {
        for (SDL_Surface *s : kits_) SDL_FreeSurface(s);
        for (SDL_Surface *s : numbers_) SDL_FreeSurface(s);
        SDL_FreeSurface(background_);
        SDL_FreeSurface(back_);
        SDL_FreeSurface(argb_);
        if (texture_ != nullptr) SDL_DestroyTexture(texture_);
        SDL_FreePalette(palette_);
    }
    UsualMatch(const UsualMatch &) = delete;
    UsualMatch &operator=(const UsualMatch &) = delete;

    bool ok() const { return ok_; }

    int Frame() {
        Move(players_, tick_++);
        std::array<const Runner2D *, kPlayers> order{};
        for (int i = 0; i < kPlayers; ++i) order[i] = &players_[i];
        std::sort(order.begin(), order.end(),
                  [](const Runner2D *a, const Runner2D *b) { return a->y < b->y; });
        int failed = SDL_BlitSurface(background_, nullptr, back_, nullptr);
        for (const Runner2D *p : order) {
            const int scale = p->Scale();
            SDL_Rect at{p->x - kCellW * scale / 200, p->y - kCellH * scale / 100, 0, 0};
            failed |= SDL_BlitSurface(kits_[KitIndex(p->team, p->phase, p->Mirrored(), scale)],
                                      nullptr, back_, &at);
            const int numberX =
                p->Mirrored() ? kCellW - kNumberLeft - (2 * kDigitW + kDigitGap) : kNumberLeft;
            SDL_Rect number{at.x + numberX * scale / 100, at.y + kNumberTop * scale / 100, 0, 0};
            failed |= SDL_BlitSurface(numbers_[NumberIndex(p->team, p->number, scale)], nullptr,
                                      back_, &number);
        }
        return failed | ConvertAndUpload();
    }

    // The faded colours on the back buffer's palette, then everything again.
    int PaletteStep() {
        std::array<SDL_Color, 256> faded = full_;
        const int level = down_ ? kFadeLevels - 1 : kFadeLevels;
        for (int i = 10; i <= 245; ++i) faded[i] = Colour(GameColour(i), level);
        down_ = !down_;
        return SDL_SetPaletteColors(palette_, faded.data() + 10, 10, 236) | ConvertAndUpload();
    }

  private:
    static SDL_Color Colour(const RGBQUAD &c, int level) {
        return SDL_Color{static_cast<Uint8>(c.rgbRed * level / kFadeLevels),
                         static_cast<Uint8>(c.rgbGreen * level / kFadeLevels),
                         static_cast<Uint8>(c.rgbBlue * level / kFadeLevels), 255};
    }
    static std::size_t KitIndex(int team, int phase, bool mirrored, int scale) {
        return ((static_cast<std::size_t>(team) * kRunPhases + phase) * 2 + mirrored) * kScales +
               (scale - kSmallest);
    }
    static std::size_t NumberIndex(int team, int number, int scale) {
        return (static_cast<std::size_t>(team) * (kPlayers / 2) + number - 1) * kScales +
               (scale - kSmallest);
    }

    void MakeSprites() {
        kits_.assign(KitIndex(1, kRunPhases - 1, true, kLargest) + 1, nullptr);
        numbers_.assign(NumberIndex(1, kPlayers / 2, kLargest) + 1, nullptr);
        for (int team = 0; team < 2; ++team) {
            for (int phase = 0; phase < kRunPhases; ++phase) {
                writer::Image kit = Runner(phase);
                for (std::uint8_t &c : kit.pixels)
                    if (team == 1 && c >= kKitFirst && c < kKitFirst + kKitCount)
                        c = static_cast<std::uint8_t>(c + kKitShift);
                for (int scale = kSmallest; scale <= kLargest; ++scale)
                    for (bool mirrored : {false, true})
                        kits_[KitIndex(team, phase, mirrored, scale)] =
                            Sprite(kit, scale, mirrored, palette_);
            }
            for (int number = 1; number <= kPlayers / 2; ++number) {
                const writer::Image art = NumberPicture(number, kNumberColour[team]);
                for (int scale = kSmallest; scale <= kLargest; ++scale)
                    numbers_[NumberIndex(team, number, scale)] =
                        Sprite(art, scale, false, palette_);
            }
        }
    }

    int ConvertAndUpload() {
        return SDL_BlitSurface(back_, nullptr, argb_, nullptr) |
               SDL_UpdateTexture(texture_, nullptr, argb_->pixels, argb_->pitch);
    }

    SDL_Palette *palette_ = nullptr;
    std::array<SDL_Color, 256> full_{};
    SDL_Surface *background_ = nullptr;
    SDL_Surface *back_ = nullptr;
    SDL_Surface *argb_ = nullptr;
    SDL_Texture *texture_ = nullptr;
    std::vector<SDL_Surface *> kits_;
    std::vector<SDL_Surface *> numbers_;
    std::array<Runner2D, kPlayers> players_ = KickOff();
    int tick_ = 0;
    bool down_ = true;
    bool ok_ = false;
};

// ---- The benchmarks ---------------------------------------------------------------

void BM_EndToEnd_Animate(benchmark::State &state) {
    LibraryMatch match;
    if (TheRenderer() == nullptr || !match.ok()) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    double converted = 0;
    for (auto _ : state) {
        const std::int32_t n = match.Frame();
        if (n < 0) state.SkipWithError(SDL_GetError());
        converted += n;
    }
    state.counters["px_converted"] =
        benchmark::Counter(converted, benchmark::Counter::kAvgIterations);
    state.SetLabel(kLabel);
}
BENCHMARK(BM_EndToEnd_Animate)->Unit(benchmark::kMicrosecond);

void BM_EndToEnd_Sdl2Usual(benchmark::State &state) {
    UsualMatch match;
    if (TheRenderer() == nullptr || !match.ok()) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    for (auto _ : state) {
        if (match.Frame() != 0) state.SkipWithError(SDL_GetError());
    }
    state.counters["px_converted"] = kW * kH;
    state.SetLabel(kLabel);
}
BENCHMARK(BM_EndToEnd_Sdl2Usual)->Unit(benchmark::kMicrosecond);

void BM_PaletteStep_Animate(benchmark::State &state) {
    LibraryMatch match;
    if (TheRenderer() == nullptr || !match.ok()) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    for (auto _ : state) {
        if (match.PaletteStep() != kW * kH)
            state.SkipWithError("a fade step did not convert the whole window");
    }
    state.SetLabel(kLabel);
}
BENCHMARK(BM_PaletteStep_Animate)->Unit(benchmark::kMicrosecond);

void BM_PaletteStep_Sdl2Usual(benchmark::State &state) {
    UsualMatch match;
    if (TheRenderer() == nullptr || !match.ok()) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    for (auto _ : state) {
        if (match.PaletteStep() != 0) state.SkipWithError(SDL_GetError());
    }
    state.SetLabel(kLabel);
}
BENCHMARK(BM_PaletteStep_Sdl2Usual)->Unit(benchmark::kMicrosecond);

}  // namespace

#endif  // ANIMATE_BENCH_WITH_PRESENTER
