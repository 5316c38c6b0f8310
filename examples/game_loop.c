/* The game loop of the guide, whole: a background read from a BMP file, a
 * player whose two-frame run loops for twelve game frames across the pitch,
 * and the tear-down that leaves nothing behind.
 *
 * ProjectFrame answers 0 once the sequence has ended (it does not loop by
 * itself, and the player would stand still on its last frame): the loop
 * rewinds the sequence then and projects again.
 *
 * Usage: game_loop [file], "players.anx" (written by anim_file.c) by
 * default. The guide shows the parts between the "guide:" marks. */
#include <stdio.h>

#include <animate.h>

#include "window_check.h"

enum { kWidth = 160, kHeight = 60, kGrass = 11, kKit = 16, kTicks = 12, kStep = 10 };

/* The pitch a game would have from its artist: a BMP file. */
static int WritePitch(const char *path) {
    BITMAPINFOHEADER *pitch = CreateDIB(kWidth, kHeight);
    if (pitch == NULL) return 0;
    RGBQUAD *colours = ((BITMAPINFO *)pitch)->bmiColors;
    colours[kGrass] = (RGBQUAD){50, 150, 40, 0};
    for (int i = 0; i < 3; ++i) colours[kKit + i] = (RGBQUAD){30, 30, (uint8_t)(220 - 40 * i), 0};
    colours[30] = (RGBQUAD){140, 180, 230, 0}; /* skin */
    colours[31] = (RGBQUAD){20, 40, 60, 0};    /* hair */
    colours[32] = (RGBQUAD){10, 10, 10, 0};    /* boots */
    RECT all = {0, 0, kWidth - 1, kHeight - 1};
    FillDIBRect(pitch, (uint8_t *)pitch + sizeof(BITMAPINFO), &all, kGrass);
    int written = WriteDIB(path, pitch);
    DeleteDIB(pitch);
    return written;
}

/* Whether a column of the window shows the kit anywhere. */
static int KitInColumn(HDC window, int x) {
    for (int y = 0; y < kHeight; ++y) {
        if (WindowPixel(window, x, y) == kKit) return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    const char *players = argc > 1 ? argv[1] : "players.anx";
    if (!WritePitch("pitch.bmp")) return 1;

    /* guide: begin */
    HDC window = AnimCreateWindowDC(kWidth, kHeight);    /* where paints land */
    EngineState *engine = InitAnimate();                 /* null when out of memory */
    if (window == NULL || engine == NULL) return 1;

    SetBackground(engine, "pitch.bmp");                  /* scene size, colours 10-245, surface */
    HPALETTE palette = MasterPalette(engine);            /* made by SetBackground: ours to delete */
    SetPalette(engine, window);                          /* select it into the window */

    InitProjector(engine, 32, 64, 4);                    /* anim objects, sequences, files */
    int32_t ids[] = {1};                                 /* our id for each sequence of the file */
    LoadMultiAnim(engine, players, ids, 1, 1, ANIM_LOAD_PLAYER_NUMBERS); /* its handle, or -1 */
    int32_t player = GetAnimObject(engine);
    SetAnimObjectAnim(engine, player, 1, 0, 0);          /* plays sequence 1 through table 0 */

    for (int tick = 0; tick < kTicks; ++tick) {          /* each game frame */
        int32_t x = kStep * tick, y = 20, depth = 50;
        if (!ProjectFrame(engine, player, x, y, depth)) { /* 0: the sequence has ended */
            RewindAnx(engine, player);                   /* so start it again */
            ProjectFrame(engine, player, x, y, depth);
        }
        PaintScene(engine, window);                      /* repaint what changed, only that */
        /* present the window: see "Presenting the window with SDL2" */
    }
    /* guide: end */

    /* The player ran on to the last x, and left nothing behind. */
    int last = kStep * (kTicks - 1);
    int ran = KitInColumn(window, last + 5) && !KitInColumn(window, last - kStep);
    printf("after %d game frames the player runs at x %d: %s\n", kTicks, last, ran ? "yes" : "no");
    printf("window crc32 %08x\n", (unsigned)WindowCrc(window, kWidth, kHeight));

    /* guide: begin */
    TerminateProjector(engine);                          /* objects and files first */
    TerminateAnimate(engine);                            /* background, surface, tables */
    FREE(engine);                                        /* the engine block itself */
    AnimDeletePalette(palette);                          /* handles are always the game's */
    AnimDestroyWindowDC(window);
    /* guide: end */
    return ran ? 0 : 1;
}
