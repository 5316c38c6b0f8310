/* The life of an engine, start to end: a background, a sprite, an animation
 * played by the projector, one paint into a window, and the tear-down.
 *
 *   life_of_an_engine [file.anx]
 *
 * With a multi-animation file, its first sequence is played too. Returns 0
 * when the window shows what was put in the scene. */
#include <stdio.h>
#include <string.h>

#include "animate.h"

enum { kWidth = 320, kHeight = 200, kBoxSize = 16, kBoxColour = 40 };

int main(int argc, char **argv) {
    /* 1. Start: one engine state, then the projector's tables in it. */
    EngineState *engine = InitAnimate();
    if (!engine || !InitProjector(engine, 4, 16, 1)) return 1;

    /* 2. Background: a DIB of our own, its game colours taken into the
     *    master palette, then handed to the engine (which frees it). */
    BITMAPINFOHEADER *back = CreateDIB(kWidth, kHeight);
    RGBQUAD *colours = (RGBQUAD *)((unsigned char *)back + sizeof(BITMAPINFOHEADER));
    for (int i = 10; i <= 245; ++i) {
        RGBQUAD c = {(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i / 2), 0};
        colours[i] = c;
    }
    for (int y = 0; y < kHeight; ++y) memset(GetDIBPixelAddress(back, 0, y), 10 + y % 20, kWidth);
    ColorsFromBI(engine, back, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245); /* ours to delete */
    SetBackgroundFromPDIB(engine, back);

    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    SetPalette(engine, window);

    /* 3. A sprite: an image (the DIB stays ours) on a sprite, centred at
     *    (60, 60), depth 100. */
    BITMAPINFOHEADER *box = CreateDIB(kBoxSize, kBoxSize);
    for (int y = 0; y < kBoxSize; ++y) memset(GetDIBPixelAddress(box, 0, y), kBoxColour, kBoxSize);
    int32_t image = AddSpriteDib(engine, box);
    int32_t sprite = AddSprite(engine);
    SetSpriteSpriteDib(engine, sprite, image);
    ShowSprite(engine, sprite, 60, 60, 100, ANIM_ANCHOR_CENTRE);

    /* 4. The projector: sequences of a file get our ids 1, 2, ...; an anim
     *    object plays the first one at (200, 150). */
    int32_t played = 0;
    if (argc > 1) {
        int32_t ids[16];
        for (int i = 0; i < 16; ++i) ids[i] = i + 1;
        int32_t file = LoadMultiAnim(engine, argv[1], ids, 16, 1, ANIM_LOAD_PLAYER_NUMBERS);
        int32_t object = GetAnimObject(engine);
        if (file >= 0 && object >= 0 && SetAnimObjectAnim(engine, object, 1, 0, 0)) {
            played = ProjectFrame(engine, object, 200, 150, 50);
        }
    }

    /* 5. Paint: every invalid rectangle is composed and copied to the window. */
    PaintScene(engine, window);
    int32_t stride = 0;
    const uint8_t *pixels = AnimWindowPixels(window, &stride);
    int ok = pixels && pixels[60 * stride + 60] == kBoxColour && pixels[5 * stride + 300] == 10 + 5;
    printf("sprite %s, animation %s\n", ok ? "painted" : "MISSING", played ? "projected" : "not played");

    /* 6. End: projector first, then the engine and its block; then what
     *    stays the game's: the sprite's DIB, the palette handle, the window. */
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);
    DeleteDIB(box);
    AnimDeletePalette(palette);
    AnimDestroyWindowDC(window);
    return ok && (argc < 2 || played) ? 0 : 1;
}
