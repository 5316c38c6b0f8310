/* A game's first contact with libanimate, from C11 through the public
 * header alone: built in the tree (the header stays valid C and the shared
 * library links into a C program), and outside it against an install, once
 * through the CMake package and once through pkg-config. */
#include <animate.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                              \
        }                                                                            \
    } while (0)

static void CountTrace(const char *text, void *user) {
    (void)text;
    ++*(int *)user;
}

int main(void) {
    char version[8];
    int traces = 0;
    CHECK(AnimVersion() == 400);
    CHECK(AnimVersionString(version) == 7 && strcmp(version, "4.00.01") == 0);

    /* Failures reach the game through its own trace hook. */
    AnimSetTraceHandler(CountTrace, &traces);
    CHECK(OpenDIB("/nonexistent/consumer.bmp") == NULL);
    CHECK(traces == 1);
    AnimSetTraceHandler(NULL, NULL);

    BITMAPINFOHEADER *dib = CreateDIB(5, 3);
    CHECK(dib != NULL && dib->biSizeImage == 24);
    uint8_t *top_left = GetDIBPixelAddress(dib, 0, 0);
    CHECK(top_left == (uint8_t *)dib + 1064 + 2 * 8);
    RECT square = {1, 1, 2, 2};
    CHECK(FillDIBRect(dib, (uint8_t *)dib + sizeof(BITMAPINFO), &square, 42) == 1);
    CHECK(*GetDIBPixelAddress(dib, 2, 2) == 42 && *GetDIBPixelAddress(dib, 3, 2) == 0);

    uint8_t sprite[4] = {0, 7, 0, 9};
    TransCopyDIBBits(top_left, sprite, 4, 1, 8, 4, 0);
    CHECK(top_left[0] == 0 && top_left[1] == 7 && top_left[3] == 9);

    RECT a = {0, 0, 9, 9}, b = {20, 0, 29, 9}, u;
    CHECK(ShouldJoinRect(&a, &b) == 1);
    CHECK(DibUnionRect(&u, &a, &b) == 1 && u.right == 29);
    DeleteDIB(dib);

    if (failures == 0) printf("animate %s: consumer ok\n", version);
    return failures == 0 ? 0 : 1;
}
