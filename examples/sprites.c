/* Sprites over a background, repainted by dirty rectangles.
 *
 * An engine composes a scene from a background picture and sprites into an
 * off-screen surface and copies only what changed to the window. This
 * program builds a 160 x 120 scene, moves a ball over it past a post and
 * shows the rectangles each paint copies. */
#include <stdio.h>
#include <string.h>

#include <animate.h>

#include "window_check.h"

enum { kWidth = 160, kHeight = 120, kSky = 10, kGrass = 11, kRed = 12, kWhite = 13 };

/* SetDebugInvalidRects makes PaintScene trace one line per rectangle it
 * repaints, "Rect: <index>  (left,top,right,bottom)"; this trace hook shows
 * them. */
static void ShowRect(const char *text, void *user) {
    (void)user;
    if (strncmp(text, "Rect:", 5) == 0) printf("  %.*s\n", (int)strcspn(text, "\r\n"), text);
}

/* Game colours live at indices 10-245 of a DIB's colour table. */
static void SetColour(BITMAPINFOHEADER *dib, int index, uint8_t r, uint8_t g, uint8_t b) {
    ((BITMAPINFO *)dib)->bmiColors[index] = (RGBQUAD){b, g, r, 0};
}

int main(void) {
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    EngineState *engine = InitAnimate();
    if (window == NULL || engine == NULL) return 1;

    /* The background: sky above grass. The engine adopts the DIB and
     * deletes it itself; its colours become the master palette. */
    BITMAPINFOHEADER *background = CreateDIB(kWidth, kHeight);
    SetColour(background, kSky, 90, 150, 230);
    SetColour(background, kGrass, 40, 160, 60);
    SetColour(background, kRed, 220, 30, 30);
    SetColour(background, kWhite, 250, 250, 250);
    RECT sky = {0, 0, kWidth - 1, 59}, grass = {0, 60, kWidth - 1, kHeight - 1};
    uint8_t *bits = (uint8_t *)background + sizeof(BITMAPINFO);
    FillDIBRect(background, bits, &sky, kSky);
    FillDIBRect(background, bits, &grass, kGrass);
    ColorsFromBI(engine, background, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245);
    SetBackgroundFromPDIB(engine, background);
    SetPalette(engine, window);

    /* Two sprite images: a red ball (0 is transparent) and a white post. The
     * engine only borrows them; they are ours to delete at the end. */
    BITMAPINFOHEADER *ball = CreateDIB(9, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            if ((x - 4) * (x - 4) + (y - 4) * (y - 4) <= 16) *GetDIBPixelAddress(ball, x, y) = kRed;
    BITMAPINFOHEADER *post = CreateDIB(4, 30);
    RECT whole = {0, 0, 3, 29};
    FillDIBRect(post, (uint8_t *)post + sizeof(BITMAPINFO), &whole, kWhite);

    int ballSprite = AddSprite(engine), postSprite = AddSprite(engine);
    SetSpriteSpriteDib(engine, ballSprite, AddSpriteDib(engine, ball));
    SetSpriteSpriteDib(engine, postSprite, AddSpriteDib(engine, post));
    /* Depth: larger is further back, so the ball (10) passes in front of
     * the post (20). The post stands on its foot point. */
    ShowSprite(engine, postSprite, 120, 90, 20, ANIM_ANCHOR_FOOT);

    AnimSetTraceHandler(ShowRect, NULL);
    SetDebugInvalidRects(engine, 1);
    printf("first paint: the whole scene\n");
    PaintScene(engine, window);

    /* A moving sprite invalidates its old and new places: one rectangle,
     * their union, while they touch or lie close. */
    int inFront = 0;
    for (int frame = 0; frame < 7; ++frame) {
        printf("frame %d:\n", frame);
        ShowSprite(engine, ballSprite, 36 + frame * 14, 80 - frame * 2, 10, ANIM_ANCHOR_CENTRE);
        PaintScene(engine, window);
        if (frame == 6) inFront = WindowPixel(window, 120, 68) == kRed; /* over the post */
    }
    /* Far apart they stay two rectangles: joining them would repaint more
     * than 3000 pixels that did not change (SetJoinRectOverhead). */
    printf("kick:\n");
    ShowSprite(engine, ballSprite, 20, 30, 10, ANIM_ANCHOR_CENTRE);
    PaintScene(engine, window);

    /* The debug outlines are drawn into the window; repaint the scene once
     * without them. PaintSceneRect leaves the invalid list alone. */
    SetDebugInvalidRects(engine, 0);
    AnimSetTraceHandler(NULL, NULL);
    RECT scene = {0, 0, kWidth - 1, kHeight - 1};
    PaintSceneRect(engine, window, &scene);

    int ok = inFront && WindowPixel(window, 20, 30) == kRed &&
             WindowPixel(window, 120, 68) == kWhite && WindowPixel(window, 5, 5) == kSky &&
             WindowPixel(window, 5, 100) == kGrass;
    printf("window crc32 %08x\n", (unsigned)WindowCrc(window, kWidth, kHeight));

    TerminateAnimate(engine); /* deletes the background */
    FREE(engine);
    AnimDeletePalette(palette); /* palette handles are always the game's */
    DeleteDIB(ball);
    DeleteDIB(post);
    AnimDestroyWindowDC(window);
    return ok ? 0 : 1;
}
