/* Presenting the library's window with SDL2.
 *
 * The engine paints into an in-memory 8-bit window. To show it, copy its
 * indices into an SDL INDEX8 surface, give that surface the colours the
 * window shows (fades included) and blit it to the SDL window, which
 * converts to the screen's format. This program fades a scene in while a
 * ball crosses it, for the given number of frames (60 by default).
 *
 * Usage: sdl_window [frames]. SDL_VIDEODRIVER=dummy runs it without a
 * display. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <SDL.h>
#include <animate.h>

enum { kWidth = 160, kHeight = 120, kSky = 10, kGround = 11, kBall = 12 };

static void Present(HDC window, SDL_Surface *frame, SDL_Window *sdl) {
    int32_t stride = 0;
    const uint8_t *pixels = AnimWindowPixels(window, &stride);
    RGBQUAD shown[256];
    SDL_Color colours[256];
    AnimWindowColors(window, shown);
    for (int i = 0; i < 256; ++i)
        colours[i] = (SDL_Color){shown[i].rgbRed, shown[i].rgbGreen, shown[i].rgbBlue, 255};
    SDL_SetPaletteColors(frame->format->palette, colours, 0, 256);
    for (int y = 0; y < kHeight; ++y)
        memcpy((uint8_t *)frame->pixels + y * frame->pitch, pixels + y * stride, kWidth);
    SDL_BlitSurface(frame, NULL, SDL_GetWindowSurface(sdl), NULL);
    SDL_UpdateWindowSurface(sdl);
}

/* Long library calls run the game's pump; SDL keeps its window alive. */
static int32_t PumpSdl(void *user) {
    (void)user;
    SDL_PumpEvents();
    return 0;
}

int main(int argc, char **argv) {
    int frames = argc > 1 ? atoi(argv[1]) : 60;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *sdl = SDL_CreateWindow("animate", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       kWidth, kHeight, 0);
    SDL_Surface *frame = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8,
                                                        SDL_PIXELFORMAT_INDEX8);
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    EngineState *engine = InitAnimate();
    if (sdl == NULL || frame == NULL || window == NULL || engine == NULL) return 1;
    AnimSetMessagePump(PumpSdl, NULL);

    BITMAPINFOHEADER *background = CreateDIB(kWidth, kHeight);
    RGBQUAD *colours = ((BITMAPINFO *)background)->bmiColors;
    colours[kSky] = (RGBQUAD){230, 160, 80, 0};
    colours[kGround] = (RGBQUAD){40, 120, 150, 0};
    colours[kBall] = (RGBQUAD){30, 30, 230, 0};
    RECT ground = {0, 80, kWidth - 1, kHeight - 1}, sky = {0, 0, kWidth - 1, 79};
    FillDIBRect(background, (uint8_t *)background + sizeof(BITMAPINFO), &sky, kSky);
    FillDIBRect(background, (uint8_t *)background + sizeof(BITMAPINFO), &ground, kGround);
    ColorsFromBI(engine, background, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245);
    SetBackgroundFromPDIB(engine, background);
    SetPalette(engine, window);
    SetBlacknessFade(engine, 0);

    BITMAPINFOHEADER *ball = CreateDIB(8, 8);
    RECT disc = {1, 1, 6, 6};
    FillDIBRect(ball, (uint8_t *)ball + sizeof(BITMAPINFO), &disc, kBall);
    int sprite = AddSprite(engine);
    SetSpriteSpriteDib(engine, sprite, AddSpriteDib(engine, ball));

    int quit = 0;
    for (int i = 0; i < frames && !quit; ++i) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) quit |= event.type == SDL_QUIT;
        FadeBlacknessScene(engine, 1); /* a no-op once fully faded in */
        ShowSprite(engine, sprite, (i * 3) % kWidth, 76, 10, ANIM_ANCHOR_FOOT);
        PaintScene(engine, window);
        Present(window, frame, sdl);
        SDL_Delay(16);
    }

    /* What SDL shows is what the library's window shows: compare one pixel
     * of the ground through both. */
    SDL_Surface *screen = SDL_GetWindowSurface(sdl);
    Uint8 r, g, b;
    SDL_LockSurface(screen);
    Uint32 value = 0;
    memcpy(&value, (Uint8 *)screen->pixels + 100 * screen->pitch + 5 * screen->format->BytesPerPixel,
           screen->format->BytesPerPixel);
    SDL_UnlockSurface(screen);
    SDL_GetRGB(value, screen->format, &r, &g, &b);
    int same = r == 150 && g == 120 && b == 40;
    printf("ground shows %d,%d,%d on the SDL window after %d frames\n", r, g, b, frames);

    TerminateAnimate(engine);
    FREE(engine);
    AnimDeletePalette(palette);
    DeleteDIB(ball);
    AnimDestroyWindowDC(window);
    AnimSetMessagePump(NULL, NULL);
    SDL_FreeSurface(frame);
    SDL_DestroyWindow(sdl);
    SDL_Quit();
    return same ? 0 : 1;
}
