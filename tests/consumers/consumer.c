/* A game's first contact with an installed libanimate: built outside the
 * source tree against the installed header and library only, once through
 * the CMake package and once through pkg-config. */
#include <stdio.h>
#include <string.h>

#include <animate.h>

static int traces = 0;

static void CountTrace(const char *text, void *user) {
    (void)text;
    (void)user;
    ++traces;
}

int main(void) {
    char version[8];
    if (AnimVersionString(version) != 7 || strcmp(version, "4.00.01") != 0) {
        fprintf(stderr, "unexpected library version\n");
        return 1;
    }

    /* A 16 x 8 picture with a filled 4 x 4 square: 16 pixels of colour 42. */
    BITMAPINFOHEADER *dib = CreateDIB(16, 8);
    RECT square = {2, 2, 5, 5};
    if (dib == NULL || FillDIBRect(dib, (uint8_t *)dib + sizeof(BITMAPINFO), &square, 42) != 1) {
        fprintf(stderr, "could not make the picture\n");
        return 1;
    }
    int filled = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) filled += *GetDIBPixelAddress(dib, x, y) == 42;
    DeleteDIB(dib);

    /* Failures reach the game through its own trace hook. */
    AnimSetTraceHandler(CountTrace, NULL);
    BITMAPINFOHEADER *missing = OpenDIB("/nonexistent/consumer.bmp");
    AnimSetTraceHandler(NULL, NULL);

    if (filled != 16 || missing != NULL || traces != 1) {
        fprintf(stderr, "filled %d, traces %d\n", filled, traces);
        return 1;
    }
    printf("animate %s: consumer ok\n", version);
    return 0;
}
