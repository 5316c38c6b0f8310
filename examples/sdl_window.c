/* Showing the library's window with SDL2, through the presenter.
 *
 * The engine paints into an in-memory 8-bit window. The presenter
 * (animate_sdl.h) keeps an SDL texture of it: each AnimSdlPresent converts
 * only what the paints since the last one changed (everything when the
 * window's colours changed, as in a fade) and draws it at the largest
 * whole-number scale that fits the SDL window. This program fades a scene
 * in while a ball crosses it, for the given number of frames (60 by
 * default).
 *
 * Build: cc -std=c11 sdl_window.c $(pkg-config --cflags --libs animate-sdl)
 * Usage: sdl_window [frames]; SDL_VIDEODRIVER=dummy runs it without a
 * display. */
#include <stdio.h>
#include <stdlib.h>

#include <animate_sdl.h>

enum { kWidth = 160, kHeight = 120, kScale = 2, kSky = 10, kGround = 11, kBall = 12 };

/* Long library calls run the game's pump; SDL keeps its window alive. */
static int32_t PumpSdl(void *user) {
    (void)user;
    SDL_PumpEvents();
    return 0;
}

static void Fill(BITMAPINFOHEADER *dib, RECT area, uint8_t index, RGBQUAD colour) {
    FillDIBRect(dib, (uint8_t *)dib + sizeof(BITMAPINFO), &area, index);
    ((BITMAPINFO *)dib)->bmiColors[index] = colour;
}

int main(int argc, char **argv) {
    int frames = argc > 1 ? atoi(argv[1]) : 60;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *sdl = SDL_CreateWindow("animate", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       kScale * kWidth, kScale * kHeight, SDL_WINDOW_RESIZABLE);
    SDL_Renderer *renderer = sdl != NULL ? SDL_CreateRenderer(sdl, -1, 0) : NULL;
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    EngineState *engine = InitAnimate();
    AnimSdlPresenter *presenter =
        renderer != NULL ? AnimSdlCreatePresenter(renderer, window, ANIM_SDL_WHOLE_SCALE) : NULL;
    if (presenter == NULL || engine == NULL) {
        fprintf(stderr, "sdl_window: %s\n", SDL_GetError());
        return 1;
    }
    AnimSetMessagePump(PumpSdl, NULL);

    BITMAPINFOHEADER *background = CreateDIB(kWidth, kHeight), *ball = CreateDIB(8, 8);
    Fill(background, (RECT){0, 0, kWidth - 1, 79}, kSky, (RGBQUAD){230, 160, 80, 0});
    Fill(background, (RECT){0, 80, kWidth - 1, kHeight - 1}, kGround, (RGBQUAD){40, 120, 150, 0});
    Fill(ball, (RECT){1, 1, 6, 6}, kBall, (RGBQUAD){30, 30, 230, 0});
    ColorsFromBI(engine, background, 10, 245);
    ColorsFromBI(engine, ball, kBall, kBall);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245);
    SetBackgroundFromPDIB(engine, background); /* the engine's from now on */
    SetPalette(engine, window);
    SetBlacknessFade(engine, 0);
    int sprite = AddSprite(engine);
    SetSpriteSpriteDib(engine, sprite, AddSpriteDib(engine, ball));

    int quit = 0;
    for (int i = 0; i < frames && !quit; ++i) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            quit |= event.type == SDL_QUIT;
            AnimSdlHandleEvent(presenter, &event); /* render resets: convert all again */
        }
        FadeBlacknessScene(engine, 1); /* a no-op once fully faded in */
        ShowSprite(engine, sprite, (i * 3) % kWidth, 76, 10, ANIM_ANCHOR_FOOT);
        PaintScene(engine, window);
        if (AnimSdlPresent(presenter) < 0) fprintf(stderr, "present: %s\n", SDL_GetError());
        SDL_Delay(16);
    }

    /* What SDL shows is what the library's window shows: one pixel of the
     * ground, (5, 100) in the window, read back from the renderer. */
    Uint32 shown = 0;
    SDL_Rect at = {kScale * 5, kScale * 100, 1, 1};
    AnimSdlDraw(presenter);
    SDL_RenderReadPixels(renderer, &at, SDL_PIXELFORMAT_ARGB8888, &shown, sizeof shown);
    int r = (int)(shown >> 16 & 255), g = (int)(shown >> 8 & 255), b = (int)(shown & 255);
    printf("ground shows %d,%d,%d on the SDL window after %d frames\n", r, g, b, frames);

    AnimSdlDestroyPresenter(presenter); /* before its renderer and its window */
    TerminateAnimate(engine);
    FREE(engine);
    AnimDeletePalette(palette);
    DeleteDIB(ball);
    AnimDestroyWindowDC(window);
    AnimSetMessagePump(NULL, NULL);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(sdl);
    SDL_Quit();
    return r == 150 && g == 120 && b == 40 ? 0 : 1;
}
