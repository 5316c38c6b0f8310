// The presenter on SDL's software renderer: after every present of a random
// run of paints, palette effects and resets, what the renderer shows is the
// window's pixels in the colours the window shows; the picture is placed as
// the scaling says; failures read as SDL errors; the conversion kernels
// agree with the scalar one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "animate.h"
#include "animate_sdl.h"
#include "sdl/convert.h"

namespace {

constexpr int32_t kW = 80, kH = 60;

// A software renderer drawing into a surface of its own.
struct Target {
    SDL_Surface *surface;
    SDL_Renderer *renderer;
    Target(int w, int h)
        : surface(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888)),
          renderer(surface != nullptr ? SDL_CreateSoftwareRenderer(surface) : nullptr) {}
    ~Target() {
        if (renderer != nullptr) SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(surface);
    }
    // The picture as drawn at scale 2 from (20, 5): one pixel of each
    // square. A 32-bit surface has no padding at the end of its rows.
    std::vector<uint32_t> Picture() const {
        const auto *pixels = static_cast<const uint32_t *>(surface->pixels);
        std::vector<uint32_t> out;
        for (int i = 0; i < kW * kH; ++i) out.push_back(pixels[(5 + i / kW * 2) * surface->w + 20 + i % kW * 2]);
        return out;
    }
};

// An engine showing a patterned background and a sprite in a window.
struct Match {
    EngineState *engine = InitAnimate();
    HDC window = AnimCreateWindowDC(kW, kH);
    BITMAPINFOHEADER *sprite = CreateDIB(11, 9);
    int32_t shown = AddSprite(engine);

    Match() {
        BITMAPINFOHEADER *background = CreateDIB(kW, kH);
        for (int32_t i = 0; i < kW * kH; ++i)
            *GetDIBPixelAddress(background, i % kW, i / kW) = uint8_t(10 + (i % kW * 3 + i / kW * 5) % 230);
        for (int32_t i = 0; i < 11 * 9; ++i)
            *GetDIBPixelAddress(sprite, i % 11, i / 11) =
                uint8_t((i % 11 + i / 11) % 4 == 0 ? 0 : 30 + i % 11 * (i / 11));
        ColorsFromBI(engine, background, 10, 245);
        CreateMasterPalette(engine, 10, 245);
        SetBackgroundFromPDIB(engine, background);
        SetPalette(engine, window);
        SetSpriteSpriteDib(engine, shown, AddSpriteDib(engine, sprite));
        PaintScene(engine, window);
    }
    ~Match() {
        AnimDeletePalette(MasterPalette(engine));
        TerminateAnimate(engine);
        FREE(engine);
        DeleteDIB(sprite);
        AnimDestroyWindowDC(window);
    }

    // The window through the colours it shows, as ARGB8888.
    std::vector<uint32_t> Shown() const {
        RGBQUAD c[256];
        AnimWindowColors(window, c);
        int32_t stride = 0;
        const uint8_t *pixels = AnimWindowPixels(window, &stride);
        std::vector<uint32_t> out;
        for (int32_t i = 0; i < kW * kH; ++i) {
            const RGBQUAD q = c[pixels[i / kW * stride + i % kW]];
            out.push_back(0xFF000000u | uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue);
        }
        return out;
    }
};

// On a 200 x 130 output: the whole-number scale 2, centred, then
// letterboxed.
TEST(SdlPresenter, TheRendererShowsTheWindowScaledAfterEveryPresent) {
    Match m;
    auto target = std::make_unique<Target>(200, 130);
    AnimSdlPresenter *p = AnimSdlCreatePresenter(target->renderer, m.window, ANIM_SDL_WHOLE_SCALE);
    ASSERT_NE(p, nullptr) << SDL_GetError();
    int32_t x = -1, y = -1;
    auto point = [&](int sx, int sy) {
        return AnimSdlWindowPoint(p, sx, sy, &x, &y) == 1 ? x * 1000 + y : -1;
    };  // -1: off the picture
    EXPECT_EQ(point(100, 60), -1) << "nothing drawn yet";
    EXPECT_EQ(AnimSdlPresent(p), kW * kH) << "the first present converts everything";
    std::mt19937 rng(3);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    SetBlacknessFade(m.engine, 1);
    ASSERT_EQ(FadeBlacknessScene(m.engine, 1), 0);
    EXPECT_EQ(AnimSdlPresent(p), 0) << "a fade at its end changes nothing";
    for (int step = 0; step < 80; ++step) {
        const int what = any(0, 8);
        int32_t expected = -2;  // any count
        if (what <= 3) {
            ShowSprite(m.engine, m.shown, any(-8, kW), any(-8, kH), 5, ANIM_ANCHOR_TOP_LEFT);
            PaintScene(m.engine, m.window);
        } else if (what == 4) {
            // A step may change no colour: a cycle in between sends them unfaded.
            FadeBlacknessScene(m.engine, step % 4 < 2 ? 0 : 1);
        } else if (what == 5) {
            CyclePalette(m.engine, 10, 10 + any(1, 200));
            expected = kW * kH;
        } else if (what == 6) {
            SDL_Event reset{};
            reset.type = step % 2 == 0 ? SDL_RENDER_TARGETS_RESET : SDL_RENDER_DEVICE_RESET;
            AnimSdlHandleEvent(p, &reset);
            expected = kW * kH;
        } else if (what == 7 && step > 40) {
            auto next = std::make_unique<Target>(200, 130);
            ASSERT_EQ(AnimSdlSetRenderer(p, next->renderer), 0) << SDL_GetError();
            target = std::move(next);  // the old renderer frees the old texture
            expected = kW * kH;
        } else {
            expected = 0;  // nothing changed
        }
        const int32_t converted = AnimSdlPresent(p);
        EXPECT_TRUE(expected == -2 || converted == expected)
            << converted << " at step " << step << ", action " << what << ": " << SDL_GetError();
        ASSERT_EQ(target->Picture(), m.Shown()) << "step " << step << ", action " << what;
    }
    const auto *screen = static_cast<const uint32_t *>(target->surface->pixels);
    EXPECT_EQ(screen[0], 0xFF000000u) << "black around the picture";
    EXPECT_EQ(point(179, 124), 79 * 1000 + 59);
    // Letterboxed: the height decides, 173 x 130 from x = 13.
    ASSERT_EQ(AnimSdlSetScaling(p, ANIM_SDL_LETTERBOX), 0);
    EXPECT_EQ(AnimSdlSetScaling(p, -1), -1);
    ASSERT_EQ(AnimSdlPresent(p), 0);
    EXPECT_EQ(point(13, 0), 0);
    EXPECT_EQ(point(12, 0), -1);
    EXPECT_EQ(screen[129 * 200 + 185], m.Shown().back());
    AnimSdlDestroyPresenter(p);
}

// Failures read as SDL errors: -1 or null, and the reason.
TEST(SdlPresenter, FailuresAreAnsweredWithSdlErrors) {
    Target target(8, 8);
    HDC doomed = AnimCreateWindowDC(8, 8);
    auto failed = [](const char *part) { return std::string(SDL_GetError()).find(part) != std::string::npos; };
    SDL_ClearError();
    EXPECT_TRUE(AnimSdlCreatePresenter(nullptr, doomed, ANIM_SDL_WHOLE_SCALE) == nullptr && failed("renderer"));
    EXPECT_EQ(AnimSdlCreatePresenter(target.renderer, doomed, 7), nullptr);
    EXPECT_TRUE(AnimSdlCreatePresenter(target.renderer, nullptr, ANIM_SDL_WHOLE_SCALE) == nullptr && failed("window"));
    EXPECT_EQ(
        (std::vector{AnimSdlDraw(nullptr), AnimSdlPresent(nullptr), AnimSdlSetRenderer(nullptr, target.renderer)}),
        std::vector<int32_t>(3, -1));
    EXPECT_EQ(AnimSdlTexture(nullptr), nullptr);
    AnimSdlHandleEvent(nullptr, nullptr);
    AnimSdlPresenter *p = AnimSdlCreatePresenter(target.renderer, doomed, ANIM_SDL_LETTERBOX);
    EXPECT_NE(AnimSdlTexture(p), nullptr);
    AnimDestroyWindowDC(doomed);
    SDL_ClearError();
    EXPECT_TRUE(AnimSdlPresent(p) == -1 && failed("window is gone"));
    AnimSdlDestroyPresenter(p);
}

// Every conversion kernel this CPU runs gives the scalar reference's bytes
// for random runs of a random row, as the presenter converts a rectangle
// row by row, and writes nothing past them.
TEST(SdlConvert, KernelsAgreeWithTheScalarReferenceOnRandomRuns) {
    constexpr int kWidth = 203;
    std::mt19937 rng(11);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<uint8_t> row(kWidth);
    anim::sdl::ColourTable table;
    for (int round = 0; round < 300; ++round) {
        for (uint32_t &c : table) c = static_cast<uint32_t>(rng());
        for (uint8_t &b : row) b = static_cast<uint8_t>(rng());
        const int x = any(0, kWidth - 1), w = round < 40 ? std::min(round, kWidth - x) : any(0, kWidth - x);
        auto convert = [&](const anim::sdl::ConvertKernel &k) {
            std::vector<uint8_t> out((kWidth + 3) * 4, 0xA5);
            k.row(out.data() + x * 4, row.data() + x, static_cast<size_t>(w), table);
            return out;
        };
        const std::vector<uint8_t> expected = convert(anim::sdl::ScalarConvert());
        for (const anim::sdl::ConvertKernel *k : anim::sdl::AvailableConverts())
            ASSERT_EQ(convert(*k), expected) << k->name << ": " << w << " pixels from " << x;
    }
    EXPECT_EQ(&anim::sdl::ActiveConvert(), anim::sdl::AvailableConverts().back());
}

}  // namespace
