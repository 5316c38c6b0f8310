/* One animation, two teams: kit colours and shirt numbers.
 *
 * Both teams are drawn from the same frames. The away team's kit comes from
 * decoding through a second, recoloured decompression table made when the
 * file is loaded; shirt numbers are painted over each frame from its number
 * overlay, in each team's number colour. Plays the file anim_file.c writes.
 *
 * Usage: team_colours [file], "players.anx" by default. */
#include <stdio.h>

#include <animate.h>

#include "window_check.h"

enum { kWidth = 100, kHeight = 40, kGrass = 11, kWhite = 13, kYellow = 14 };
enum { kHomeKit = 16, kAwayKit = 48, kKitColours = 3 }; /* the art's kit: 16-18 */
enum { kRunning = 100 };                                /* our id for the sequence */

/* Pixels of a colour inside columns left..right of the window. */
static int Count(HDC window, int left, int right, uint8_t colour) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = left; x <= right; ++x) n += WindowPixel(window, x, y) == colour;
    return n;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "players.anx";
    HDC window = AnimCreateWindowDC(kWidth, kHeight);
    EngineState *engine = InitAnimate();
    if (window == NULL || engine == NULL) return 1;

    /* The palette comes with the background: the frames only hold indices. */
    BITMAPINFOHEADER *pitch = CreateDIB(kWidth, kHeight);
    RGBQUAD *colours = ((BITMAPINFO *)pitch)->bmiColors;
    colours[kGrass] = (RGBQUAD){50, 150, 40, 0};
    colours[kWhite] = (RGBQUAD){255, 255, 255, 0};
    colours[kYellow] = (RGBQUAD){0, 230, 250, 0};
    for (int i = 0; i < kKitColours; ++i) {
        colours[kHomeKit + i] = (RGBQUAD){30, 30, (uint8_t)(220 - 40 * i), 0}; /* reds */
        colours[kAwayKit + i] = (RGBQUAD){(uint8_t)(220 - 40 * i), 60, 20, 0}; /* blues */
    }
    colours[30] = (RGBQUAD){140, 180, 230, 0}; /* skin */
    colours[31] = (RGBQUAD){20, 40, 60, 0};    /* hair */
    colours[32] = (RGBQUAD){10, 10, 10, 0};    /* boots */
    RECT all = {0, 0, kWidth - 1, kHeight - 1};
    FillDIBRect(pitch, (uint8_t *)pitch + sizeof(BITMAPINFO), &all, kGrass);
    ColorsFromBI(engine, pitch, 10, 245);
    HPALETTE palette = CreateMasterPalette(engine, 10, 245);
    SetBackgroundFromPDIB(engine, pitch);
    SetPalette(engine, window);

    /* Room for 2 anim objects, 4 sequences, 1 file. Table 1 of every
     * sequence loaded from now on moves kit colours 16-18 by 32, to 48-50. */
    InitProjector(engine, 2, 4, 1);
    DupKOVRLETableSetup(engine, kHomeKit, kKitColours, kAwayKit - kHomeKit);
    int32_t ids[] = {kRunning};
    if (LoadMultiAnim(engine, path, ids, 1, 2, ANIM_LOAD_PLAYER_NUMBERS) < 0) {
        fprintf(stderr, "cannot load %s\n", path);
        return 1;
    }

    int home = GetAnimObject(engine), away = GetAnimObject(engine);
    SetAnimObjectAnim(engine, home, kRunning, 0, 0); /* table 0: as drawn */
    SetAnimObjectAnim(engine, away, kRunning, 1, 0); /* table 1: recoloured */
    SetAnimObjectPlayerNumber(engine, home, 7, 0);
    SetAnimObjectPlayerNumber(engine, away, 23, 0);
    SetPlayerNumbersTeamColor(engine, 0, kWhite);  /* numbers of table 0 players */
    SetPlayerNumbersTeamColor(engine, 1, kYellow); /* and of table 1 players */

    /* Run towards each other for three game frames; the sequence has two,
     * so rewind at its end. A mirrored frame is reflected about the x given:
     * it lies to the left of it. */
    for (int tick = 0; tick < 3; ++tick) {
        if (GetFrameNum(engine, home) == FrameCount(engine, home)) {
            RewindAnx(engine, home);
            RewindAnx(engine, away);
        }
        ProjectFrame(engine, home, 10 + 4 * tick, 6, 10);
        ProjectFrameScaleFlip(engine, away, 90 - 4 * tick, 6, 10, 1, 100, ANIM_PROJECT_MIRROR);
        PaintScene(engine, window);
    }

    /* Home (columns 0-49) wears red with a white 7: three segments, nine
     * pixels. Away wears blue with a yellow 23: ten segments, 30 pixels. */
    int homeNumber = Count(window, 0, 49, kWhite), awayNumber = Count(window, 50, 99, kYellow);
    int homeKit = Count(window, 0, 49, kHomeKit) > 0 && Count(window, 0, 49, kAwayKit) == 0;
    int awayKit = Count(window, 50, 99, kAwayKit) > 0 && Count(window, 50, 99, kHomeKit) == 0;
    printf("home: kit %s, number pixels %d\n", homeKit ? "red" : "wrong", homeNumber);
    printf("away: kit %s, number pixels %d\n", awayKit ? "blue" : "wrong", awayNumber);
    printf("window crc32 %08x\n", (unsigned)WindowCrc(window, kWidth, kHeight));

    TerminateProjector(engine); /* objects and loaded files first */
    TerminateAnimate(engine);
    FREE(engine);
    AnimDeletePalette(palette);
    AnimDestroyWindowDC(window);
    return homeKit && awayKit && homeNumber == 9 && awayNumber == 30 ? 0 : 1;
}
