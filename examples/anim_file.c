/* Building a multi-animation file from pixels.
 *
 * A multi-animation file holds sequences of KOVRLE-compressed frames, each
 * sequence with its decompression table, and optional number overlays that
 * paint shirt numbers. This program draws a two-frame player, compresses it
 * with the library's own encoder calls and writes the file that
 * team_colours.c plays:
 *
 *   header (16) | directory (8 per sequence) | sequence records | number records
 *
 * Usage: anim_file [output path], "players.anx" by default. */
#include <stdio.h>
#include <string.h>

#include <animate.h>

#include "window_check.h" /* Crc32 */

enum { kW = 20, kH = 28, kFrames = 2, kKit = 16, kSkin = 30, kHair = 31, kBoots = 32 };

static uint8_t file[16384];
static size_t used;
static void Put(const void *data, size_t size) { memcpy(file + used, data, size); used += size; }
static void Put16(uint32_t v) { Put((uint8_t[]){(uint8_t)v, (uint8_t)(v >> 8)}, 2); }
static void Put32(uint32_t v) { Put16(v & 0xFFFF); Put16(v >> 16); }

static void Box(BITMAPINFOHEADER *dib, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t c) {
    RECT box = {l, t, r, b};
    FillDIBRect(dib, (uint8_t *)dib + sizeof(BITMAPINFO), &box, c);
}

/* A line-by-line stream starts every row with its length in bytes: the
 * compressed frame's size is its header, its one rectangle and those rows. */
static uint32_t FrameSize(const ANXFRAME *frame, int rows) {
    uint32_t size = sizeof(ANXFRAME) + sizeof(ANXRECT);
    for (int row = 0; row < rows; ++row) size += ((const uint8_t *)frame)[size];
    return size;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "players.anx";
    static uint32_t statistics[KOVRLE_STATISTICS_COUNT];
    uint16_t table[KOVRLE_TABLE_ENTRIES];
    ANXFRAME *frames[kFrames];
    RECT whole = {0, 0, kW - 1, kH - 1};

    /* Two frames of a running player, kit colours 16-18 (a game can load
     * them recoloured for the other team), 0 transparent. */
    KOVRLEStartDecompTable(statistics);
    for (int f = 0; f < kFrames; ++f) {
        BITMAPINFOHEADER *dib = CreateDIB(kW, kH);
        Box(dib, 7, 0, 12, 1, kHair);
        Box(dib, 7, 2, 12, 6, kSkin);
        Box(dib, 4, 7, 15, 16, kKit);                         /* shirt */
        Box(dib, 4, 7, 4, 16, kKit + 1);                      /* its shaded side */
        Box(dib, 2, f ? 5 : 8, 3, f ? 11 : 14, kSkin);        /* arms: down, then up */
        Box(dib, 16, f ? 5 : 8, 17, f ? 11 : 14, kSkin);
        Box(dib, 5, 17, 14, 20, kKit + 2);                    /* shorts */
        Box(dib, f ? 6 : 5, 21, f ? 7 : 6, 25, kSkin);        /* legs apart, then together */
        Box(dib, f ? 12 : 13, 21, f ? 13 : 14, 25, kSkin);
        Box(dib, f ? 6 : 4, 26, f ? 13 : 15, 27, kBoots);
        frames[f] = CopyDIBToAnxFrame(dib, NULL, &whole, 1);
        DeleteDIB(dib);
        /* The table is built from the statistics of every frame it codes. */
        KOVRLEUpdateDecompTableLineByLine(GetAnxFrameRectAddress(frames[f], 0), kW, kH, statistics);
    }
    KOVRLEFinishDecompTable(statistics, table, 0, KOVRLE_AUTO_LIMIT);
    KOVRLEConvertTableToLineForm(table); /* files keep scalable tables in line form */
    for (int f = 0; f < kFrames; ++f) {
        frames[f] = AnxKOVRLEFrameLineByLine(frames[f], table, kW, kH); /* releases the raw one */
        if (frames[f] == NULL) return 1;
    }

    /* The number overlay: two seven-segment digits, 4 x 7 pixels each,
     * drawn in the segment colours (left digit 1-7, right digit 8, 9,
     * 246-250) and placed on the chest at (5, 8) of the frame. The projector
     * paints the segments a player's number needs. */
    /* Colour, left, top, right, bottom of each segment, per digit in the
     * order top, upper left, upper right, middle, lower left, lower right,
     * bottom. */
    static const uint8_t segments[14][5] = {
        {1, 0, 0, 3, 0},   {4, 0, 1, 0, 3},   {2, 3, 1, 3, 3},   {3, 1, 3, 2, 3},
        {5, 0, 4, 0, 5},   {7, 3, 4, 3, 5},   {6, 0, 6, 3, 6},
        {9, 5, 0, 8, 0},   {8, 5, 1, 5, 3},   {246, 8, 1, 8, 3}, {247, 6, 3, 7, 3},
        {248, 5, 4, 5, 5}, {250, 8, 4, 8, 5}, {249, 5, 6, 8, 6}};
    BITMAPINFOHEADER *art = CreateDIB(9, 7);
    for (int s = 0; s < 14; ++s)
        Box(art, segments[s][1], segments[s][2], segments[s][3], segments[s][4], segments[s][0]);
    POINT chest = {5, 8};
    RECT digits = {0, 0, 8, 6};
    ANXFRAME *overlay = AnxFrameLineByLine(CopyDIBToAnxFrame(art, &chest, &digits, 1), NULL, 9, 7);
    DeleteDIB(art);
    if (overlay == NULL) return 1;

    /* Sequence record: 536 bytes of header and table, then the frames. */
    uint32_t sizes[kFrames], offset = 0, sequenceSize = 536 + 8 * kFrames;
    for (int f = 0; f < kFrames; ++f) sequenceSize += sizes[f] = FrameSize(frames[f], kH);
    uint32_t overlaySize = FrameSize(overlay, 7), numberSize = 18 + 8 * kFrames + overlaySize;

    Put16(1); Put16(1); Put16(1); Put16(0);      /* mark, sequences, number records */
    Put32(sequenceSize + numberSize); Put32(sequenceSize); /* full and short body */
    Put32(0); Put32(sequenceSize);               /* directory: sequence, numbers */
    Put16(kFrames); Put16(4);                    /* frame count; version 4 */
    Put32(sizeof(ANXFRAME) + sizeof(ANXRECT) + kW * kH); /* expand size */
    Put32(0); Put32(0); Put32(0);
    for (int i = 0; i < KOVRLE_TABLE_ENTRIES; ++i) Put16(table[i]);
    Put32(0);                                    /* nothing to skip */
    for (int f = 0; f < kFrames; ++f) { Put32(offset); offset += sizes[f]; }
    for (int f = 0; f < kFrames; ++f) Put32(0);
    for (int f = 0; f < kFrames; ++f) Put(frames[f], sizes[f]);
    Put16(kFrames); Put32(0); Put32(0); Put32(0); Put32(0);
    for (int f = 0; f < kFrames; ++f) Put32(0);  /* both frames use the one overlay */
    for (int f = 0; f < kFrames; ++f) Put32(0);
    Put(overlay, overlaySize);

    FILE *out = fopen(path, "wb");
    int written = out != NULL && fwrite(file, 1, used, out) == used;
    if (out != NULL) written &= fclose(out) == 0;
    printf("%s: %u bytes (frames %u + %u, overlay %u), crc32 %08x\n", path, (unsigned)used,
           (unsigned)sizes[0], (unsigned)sizes[1], (unsigned)overlaySize,
           (unsigned)Crc32(0, file, used));
    for (int f = 0; f < kFrames; ++f) DeleteAnxFrame(frames[f]);
    DeleteAnxFrame(overlay);
    return written ? 0 : 1;
}
