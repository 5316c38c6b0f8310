/* Palette effects: a fade in from black and colour cycling.
 *
 * Every pixel the library draws is an index into one 256-colour master
 * palette: 0-9 and 246-255 belong to the display, 10-245 are the game's and
 * can be animated. Effects rewrite colours, never pixels, so a whole screen
 * fades or cycles for the price of a few palette entries. */
#include <stdio.h>

#include <animate.h>

#include "window_check.h"

enum {
    kWidth = 128, kHeight = 96,
    kSunset = 10, kSunsetCount = 32, /* indices 10-41: a gradient in bands */
    kLights = 42, kLightCount = 8    /* indices 42-49: a row of lights to cycle */
};

static RGBQUAD ShownColour(HDC window, int index) {
    RGBQUAD colours[256];
    AnimWindowColors(window, colours);
    return colours[index];
}

int main(void) {
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    EngineState *engine = InitAnimate();
    if (window == NULL || engine == NULL) return 1;

    /* A picture whose bands each use one index of the gradient, and a row of
     * lights at the bottom whose indices repeat every eight pixels. */
    BITMAPINFOHEADER *picture = CreateDIB(kWidth, kHeight);
    RGBQUAD *table = ((BITMAPINFO *)picture)->bmiColors;
    for (int i = 0; i < kSunsetCount; ++i)
        table[kSunset + i] = (RGBQUAD){(uint8_t)(40 + 4 * i), (uint8_t)(60 + 3 * i), 250, 0};
    for (int i = 0; i < kLightCount; ++i)
        table[kLights + i] = (RGBQUAD){0, (uint8_t)(i * 32), 255, 0};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            *GetDIBPixelAddress(picture, x, y) =
                (uint8_t)(y < kHeight - 8 ? kSunset + y / 3 : kLights + x % kLightCount);

    ColorsFromBI(engine, picture, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245); /* 10-245 animatable */
    SetBackgroundFromPDIB(engine, picture);                  /* the engine owns it now */
    SetPalette(engine, window);

    /* Start from black, paint once, then fade in one step per game frame. */
    SetBlacknessFade(engine, 0);
    PaintScene(engine, window);
    uint32_t pixels = WindowPixelCrc(window, kWidth, kHeight);
    RGBQUAD c = ShownColour(window, kSunset + 20);
    printf("black: colour %d shows %d,%d,%d\n", kSunset + 20, c.rgbRed, c.rgbGreen, c.rgbBlue);

    int steps = 0, pixelsStill = 1;
    while (FadeBlacknessScene(engine, 1)) {
        ++steps;
        pixelsStill &= WindowPixelCrc(window, kWidth, kHeight) == pixels;
        if (steps % 5 == 0) {
            c = ShownColour(window, kSunset + 20);
            printf("step %2d: colour %d shows %d,%d,%d\n", steps, kSunset + 20, c.rgbRed,
                   c.rgbGreen, c.rgbBlue);
        }
    }
    printf("faded in after %d steps; pixels untouched: %s\n", steps, pixelsStill ? "yes" : "no");

    /* Cycling moves each colour of the range one index down and the first to
     * the end: the lights chase to the left without a single pixel drawn. */
    RGBQUAD third = ShownColour(window, kLights + 3);
    for (int i = 0; i < 3; ++i) CyclePalette(engine, kLights, kLights + kLightCount - 1);
    RGBQUAD first = ShownColour(window, kLights);
    int cycled = first.rgbRed == third.rgbRed && first.rgbGreen == third.rgbGreen &&
                 first.rgbBlue == third.rgbBlue;
    printf("after 3 cycles colour %d shows what %d showed: %s\n", kLights, kLights + 3,
           cycled ? "yes" : "no");
    printf("window crc32 %08x\n", (unsigned)WindowCrc(window, kWidth, kHeight));

    TerminateAnimate(engine);
    FREE(engine);
    AnimDeletePalette(palette);
    AnimDestroyWindowDC(window);
    return steps == 15 && pixelsStill && cycled ? 0 : 1;
}
