/* A game's first contact with the installed SDL2 presenter: built outside
 * the source tree against the installed headers and libraries only, once
 * through the CMake package's sdl component and once through pkg-config.
 * SDL's software renderer draws into a surface, so no display is needed. */
#include <animate_sdl.h>
#include <stdio.h>

enum { kWidth = 32, kHeight = 24, kGrass = 12 };

int main(void) {
    EngineState *engine = InitAnimate();
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    BITMAPINFOHEADER *pitch = CreateDIB(kWidth, kHeight);
    SDL_Surface *screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer *renderer = screen != NULL ? SDL_CreateSoftwareRenderer(screen) : NULL;
    if (engine == NULL || window == NULL || pitch == NULL || renderer == NULL) {
        fprintf(stderr, "could not start: %s\n", SDL_GetError());
        return 1;
    }
    RECT all = {0, 0, kWidth - 1, kHeight - 1};
    FillDIBRect(pitch, (uint8_t *)pitch + sizeof(BITMAPINFO), &all, kGrass);
    ((BITMAPINFO *)pitch)->bmiColors[kGrass] = (RGBQUAD){40, 160, 30, 0};
    ColorsFromBI(engine, pitch, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245);
    SetBackgroundFromPDIB(engine, pitch);
    SetPalette(engine, window);
    PaintScene(engine, window);

    AnimSdlPresenter *presenter = AnimSdlCreatePresenter(renderer, window, ANIM_SDL_WHOLE_SCALE);
    int32_t converted = AnimSdlPresent(presenter);
    Uint32 shown = 0;
    SDL_Rect corner = {3, 3, 1, 1};
    SDL_RenderReadPixels(renderer, &corner, SDL_PIXELFORMAT_ARGB8888, &shown, 4);
    printf("converted %d pixels; the screen shows %06x\n", (int)converted, (unsigned)(shown & 0xFFFFFFu));

    AnimSdlDestroyPresenter(presenter);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    TerminateAnimate(engine);
    FREE(engine);
    AnimDeletePalette(palette);
    AnimDestroyWindowDC(window);
    return converted == kWidth * kHeight && shown == 0xFF1EA028u ? 0 : 1;
}
