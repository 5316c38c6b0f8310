/*
 * animate.h - 8-bit palettised 2D sprite animation.
 *
 * The one public header of libanimate. Valid C11 and C++; every export is a
 * plain C function. Conventions used throughout:
 *
 *  - A packed DIB is one memory block: a 40-byte BITMAPINFOHEADER, a 1024-byte
 *    colour-table area, then 8-bit pixel rows from byte 1064, stored bottom-up
 *    with a stride of the width rounded up to a multiple of 4. It is passed as
 *    a BITMAPINFOHEADER pointer to the first byte of the block. The block
 *    holds at least 1064 + biSizeImage bytes. It may be the game's own memory
 *    for every call that neither releases it nor needs its size from the
 *    memory layer (WriteDIB, CreateCompatibleDIB, and reading a compressed
 *    DIB's pixel area, whose stream ends with its block); those need a block
 *    from ALLOCATE, and any other pointer ends the process (see FREE).
 *  - Coordinates count x from the left and y from the top of the picture.
 *  - Rectangles are inclusive: right and bottom belong to the rectangle. The
 *    empty rectangle is (0, 0, -1, -1).
 *  - Results are small whole numbers: 1 for success and 0 for failure unless
 *    an export says otherwise; pointers or null for exports that make a block.
 *  - Failures the caller handles are traced (AnimSetTraceHandler) and
 *    reported by the result. A programming error is not a failure: it ends
 *    the process through ReportAssertion ("Assertion failed" through the
 *    message-box hook, then the abort signal). Each export that can end the
 *    process says so: releasing or sizing memory that is no live block of
 *    ALLOCATE; projector calls before InitProjector; LoadMultiAnim with an
 *    id of -1, an id already loaded or a table count other than 1 or 2;
 *    SetAnimObjectPlayerNumber with a number outside 0-99; the ProjectFrame
 *    calls with anim object -1.
 *
 * One thread. Every call must come from the same thread, one at a time:
 * nothing is locked. The message pump (AnimSetMessagePump) runs inside long
 * calls; what it calls must leave alone the data those calls work on and the
 * process-wide state below. Besides each engine state the library keeps
 * process-wide state, shared by all engines: the join settings of the
 * dirty-rectangle rule (SetJoinRectOverhead, and the join mode
 * DIBFindNewRects sets), the decoder's line buffer (AnxUnKOVRLEFrame and
 * every projection), the decompression-table builder's working state
 * (KOVRLEFinishDecompTable), the platform hooks and the display format
 * (AnimSetDisplayFormat). Two engines driven from two threads would share
 * these unguarded.
 */
#ifndef ANIMATE_H
#define ANIMATE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define ANIM_API __attribute__((visibility("default")))
#else
#define ANIM_API
#endif

#ifdef __cplusplus
#define ANIM_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define ANIM_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ------------------------------------------------------------------------ */
/* Version                                                                  */
/* ------------------------------------------------------------------------ */

#define ANIMATE_VERSION_MAJOR 4
#define ANIMATE_VERSION_MINOR 0
#define ANIMATE_VERSION_REVISION 1

/* ------------------------------------------------------------------------ */
/* Records in the platform layout                                           */
/* ------------------------------------------------------------------------ */

typedef struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;  /* inclusive inside the library */
    int32_t bottom; /* inclusive inside the library */
} RECT;

typedef struct POINT {
    int32_t x;
    int32_t y;
} POINT;

typedef struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
} RGBQUAD;

typedef struct PALETTEENTRY {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
} PALETTEENTRY;

typedef struct BITMAPINFOHEADER {
    uint32_t biSize;        /* 40 */
    int32_t biWidth;        /* pixels */
    int32_t biHeight;       /* rows, positive: stored bottom-up */
    uint16_t biPlanes;      /* 1 */
    uint16_t biBitCount;    /* 8 */
    uint32_t biCompression; /* 0; a difference DIB keeps its key colour in bits 16-23 */
    uint32_t biSizeImage;   /* stride * height */
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} BITMAPINFOHEADER;

typedef struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
} BITMAPINFO;

typedef struct LOGPALETTE {
    uint16_t palVersion;
    uint16_t palNumEntries;
    PALETTEENTRY palPalEntry[1]; /* palNumEntries entries follow in the block */
} LOGPALETTE;

ANIM_STATIC_ASSERT(sizeof(RECT) == 16, "RECT is four 32-bit numbers");
ANIM_STATIC_ASSERT(sizeof(POINT) == 8, "POINT is two 32-bit numbers");
ANIM_STATIC_ASSERT(sizeof(RGBQUAD) == 4, "RGBQUAD is four bytes");
ANIM_STATIC_ASSERT(sizeof(PALETTEENTRY) == 4, "PALETTEENTRY is four bytes");
ANIM_STATIC_ASSERT(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
ANIM_STATIC_ASSERT(sizeof(BITMAPINFO) == 1064, "BITMAPINFO is header plus 256 colours");
ANIM_STATIC_ASSERT(sizeof(LOGPALETTE) == 8, "LOGPALETTE holds one entry in place");

/* Anx frame: one block holding this 32-byte header, rectCount rectangle
 * entries (ANXRECT) and raw or compressed pixels. Raw pixels are, per entry,
 * its rows bottom-up, each padded to (width + 3) & ~3 with its last pixel.
 * Frames inside a loaded file may sit at any byte address; the library reads
 * them bytewise. */
typedef struct ANXRECT {
    int16_t left;
    int16_t top;
    int16_t right;  /* inclusive */
    int16_t bottom; /* inclusive */
} ANXRECT;

typedef struct ANXFRAME {
    uint8_t firstMark;        /* 4 */
    uint8_t secondMark;       /* 32, the header's size */
    int16_t rectCount;        /* entries behind the header */
    uint32_t dataSize;        /* bytes of the raw pixel area, also when compressed */
    uint16_t compression;     /* 0 raw; nonzero compressed */
    uint16_t compressionHigh; /* delta key colour of the DIB the frame was made from */
    ANXRECT rect;             /* the frame's rectangle, inclusive */
    int16_t adjustX;          /* added to the sprite position when shown */
    int16_t adjustY;
    int16_t offsetX; /* per-frame offset of the game's */
    int16_t offsetY;
    uint16_t reserved;
    int16_t repeatFrame; /* in a frame without entries: the frame it repeats */
} ANXFRAME;

ANIM_STATIC_ASSERT(sizeof(ANXRECT) == 8, "ANXRECT is four 16-bit numbers");
ANIM_STATIC_ASSERT(sizeof(ANXFRAME) == 32, "ANXFRAME header is 32 bytes");

/* Opaque platform handles: a device context (a window or the screen) and a
 * logical palette. */
typedef struct AnimDeviceContext *HDC;
typedef struct AnimPalette *HPALETTE;

/* The engine handle: one scene's whole state, made by InitAnimate. */
typedef struct EngineState EngineState;

/* A game's draw callback, called between depth layers while a rectangle is
 * composed: the surface's device context, its BITMAPINFO (header and 256
 * colours), its pixels, the layer's high and low depth, the rectangle
 * (right and bottom exclusive) and the user value of the registration. */
typedef int32_t (*AnimDrawCallback)(HDC surfaceDC, BITMAPINFO *surfaceInfo, uint8_t *surfaceBits,
                                    int32_t highDepth, int32_t lowDepth, int32_t left, int32_t top,
                                    int32_t right, int32_t bottom, int32_t user);

/* Message box style of the assertion report. */
#define ANIM_MB_ICONHAND 0x10u
/* Message box answer "OK". */
#define ANIM_IDOK 1

/* ------------------------------------------------------------------------ */
/* Platform hooks                                                           */
/* ------------------------------------------------------------------------ */

/* Receives every text the library sends to the debugger output, exactly as
 * sent (trace lines end in CR LF). */
typedef void (*AnimTraceHandler)(const char *text, void *user);
/* handler: null restores the default, which writes the text to stderr. */
ANIM_API void AnimSetTraceHandler(AnimTraceHandler handler, void *user);

/* Receives every message box; returns the button pressed (ANIM_IDOK). */
typedef int32_t (*AnimMessageBoxHandler)(const char *text, const char *caption, uint32_t style,
                                         void *user);
/* handler: null restores the default, which writes caption and text to
 * stderr and answers OK. */
ANIM_API void AnimSetMessageBoxHandler(AnimMessageBoxHandler handler, void *user);

/* Dispatches one waiting event of the game; returns 0 when nothing more is
 * waiting. */
typedef int32_t (*AnimMessagePump)(void *user);
/* pump: null restores the default, which never has anything waiting. */
ANIM_API void AnimSetMessagePump(AnimMessagePump pump, void *user);

/* ------------------------------------------------------------------------ */
/* Memory, assertions and version                                           */
/* ------------------------------------------------------------------------ */

/* A zero-filled memory block of at least size bytes; null when none can be
 * had (blocks are limited to 1 GiB). Release it with FREE. */
ANIM_API void *ALLOCATE(uint32_t size);
/* Releases a block from ALLOCATE. Null is ignored. Ends the process
 * (ReportAssertion) for a pointer whose block header does not read as a
 * live block's: released already, or not from ALLOCATE. Every export that
 * releases or sizes a block it is given does the same. */
ANIM_API void FREE(void *block);

/* Shows "Assertion failed" for file and line in a message box titled
 * "Assertion Failed", then ends the process with the abort signal. Never
 * returns. */
ANIM_API void ReportAssertion(const char *file, uint32_t line);

/* Sends one trace line to the debugger output: "<file> line <n>: <text>\r\n".
 * file may be null and line 0 (each part is left out then). level is
 * carried for the reader only. */
ANIM_API void TraceMessage(const char *file, uint16_t line, const char *text, int32_t level);

/* 400. */
ANIM_API uint16_t AnimVersion(void);
/* 1. */
ANIM_API uint16_t AnimRevision(void);
/* Writes "4.00.01" into buffer (at least 8 bytes); returns the number of
 * characters written, 7. A null buffer writes nothing and returns 0. */
ANIM_API int32_t AnimVersionString(char *buffer);

/* ------------------------------------------------------------------------ */
/* Packed DIBs and DIB files                                                */
/* ------------------------------------------------------------------------ */

/* Reads a DIB file, with or without its 14-byte file header, into a new
 * packed DIB (8-bit rows, bottom-up), or null.
 *  - Read as it stands: a 40-byte header with 8 bits a pixel and a positive
 *    height, whatever its compression. That is every DIB WriteDIB writes,
 *    compressed and difference DIBs included; an image tool's 8-bit RLE file
 *    (compression 1 under a 40-byte header) looks the same and is read the
 *    same way, still compressed. The colour table is the 1024 bytes behind
 *    the header; biClrUsed becomes 256.
 *  - Widened to 8 bits, indices kept: 1-, 2-, 4- and 8-bit uncompressed
 *    rows under a 40-byte, 12-byte (OS/2 core), 52-, 56-, 64-, 108- (V4) or
 *    124-byte (V5) header, bottom-up or top-down; 4-bit RLE; 8-bit RLE under
 *    a header longer than 40 bytes. The file's colours start the colour
 *    table, the other entries are 0; the header becomes the library's own
 *    (biSize 40, 8 bits, uncompressed, biClrUsed 256).
 *  - Refused with a trace naming the reason: 16-, 24- and 32-bit
 *    (truecolour) files, other bit counts, header sizes and compressions,
 *    compressed top-down rows, more than 2^bits colours, a negative width.
 * Null also when the file cannot be opened (traced; a name that is not a
 * regular file cannot), is shorter than its headers, or has sizes whose
 * arithmetic would overflow or exceed the 1 GiB block limit. Pixels missing
 * from a short file read as 0; an RLE stream is cut where it leaves the
 * picture or the file. */
ANIM_API BITMAPINFOHEADER *OpenDIB(const char *fileName);
/* Writes dib to fileName with a file header, its whole block as it stands.
 * 0 when dib is null or the file cannot be created; otherwise 1, even when
 * a write fails (a full disk, an I/O error): failed writes are not
 * detected, so check the file when it matters. dib must be a block from
 * ALLOCATE (its size comes from there); other memory ends the process. */
ANIM_API int32_t WriteDIB(const char *fileName, const BITMAPINFOHEADER *dib);
/* A new zeroed width x height DIB whose colour table holds the identity
 * index table; null when it cannot be made (negative or too large sizes). */
ANIM_API BITMAPINFOHEADER *CreateDIB(int32_t width, int32_t height);
/* A new DIB with source's header and block size, identity index table and
 * zeroed pixels; null when source is null or no block can be had. source
 * must be a block from ALLOCATE; other memory ends the process. */
ANIM_API BITMAPINFOHEADER *CreateCompatibleDIB(const BITMAPINFOHEADER *source);
/* A full copy of source (header, colour table, pixels); null for null. */
ANIM_API BITMAPINFOHEADER *CopyDIB(const BITMAPINFOHEADER *source);
/* The destination's colour table area becomes the source's. Neither may be
 * null. Note the order: the first argument receives. */
ANIM_API void CopyDIBPaletteToDIB(BITMAPINFOHEADER *destination, const BITMAPINFOHEADER *source);
/* Releases a packed DIB; null is ignored. A pointer that is no live block
 * of ALLOCATE ends the process, as in FREE. */
ANIM_API void DeleteDIB(BITMAPINFOHEADER *dib);

/* Address of pixel (x, y) of dib, or null outside the picture. */
ANIM_API uint8_t *GetDIBPixelAddress(BITMAPINFOHEADER *dib, int32_t x, int32_t y);
/* Address of pixel (x, y) of a bottom-up pixel area, or null outside. */
ANIM_API uint8_t *GetPixelAddress(uint8_t *bits, int32_t x, int32_t y, int32_t width,
                                  int32_t height);
/* Byte offset of pixel (x, y) in a pixel area stored top-down (topDown
 * nonzero) or bottom-up; 0 when outside, which is also a real offset, so
 * clip first. */
ANIM_API int32_t GetPixelOffsetTopDown(int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t topDown);
/* Dispatches every waiting event through the message pump hook. */
ANIM_API void PumpMessages(void);

/* ------------------------------------------------------------------------ */
/* Rectangles and dirty-rectangle joining                                   */
/* ------------------------------------------------------------------------ */

/* result = a intersected with b (always written; may alias a or b).
 * Nonzero when the result is not empty. */
ANIM_API int32_t DibIntersectRect(RECT *result, const RECT *a, const RECT *b);
/* Nonzero when right < left or top > bottom. */
ANIM_API int32_t DibIsRectEmpty(const RECT *r);
/* Sets r to (0, 0, -1, -1). */
ANIM_API void DibSetRectEmpty(RECT *r);
/* result = the bounding box of a and b, empty ones included; returns 1. */
ANIM_API int32_t DibUnionRect(RECT *result, const RECT *a, const RECT *b);
/* Adds 1 to right and bottom, for calls that take exclusive rectangles. */
ANIM_API void DibRectMakeExclusive(RECT *r);
/* Area overhead (pixels) that the join rule allows; negative selects the
 * ratio rule. Process-wide; initially 3000. */
ANIM_API void SetJoinRectOverhead(int32_t overhead);
/* 1 when a and b are cheaper repainted as their union, else 0. */
ANIM_API int32_t ShouldJoinRect(const RECT *a, const RECT *b);
/* Covers every changed pixel of a difference DIB with at most *count
 * rectangles. count holds the capacity of rects on entry and the number
 * found on return (at least 1 when the capacity is). minSize: regions no
 * larger are not cut further; trim: shrink rectangles to their changes;
 * exactJoin: join only rectangles sharing both edges of a side (also sets
 * the join mode of later ShouldJoinRect calls); divisor: parts each side is
 * cut into (values below 2 count as 2). */
ANIM_API void DIBFindNewRects(BITMAPINFOHEADER *dib, RECT *rects, int32_t *count, int32_t minSize,
                              int32_t trim, int32_t exactJoin, int32_t divisor);

/* ------------------------------------------------------------------------ */
/* Span blitters                                                            */
/*                                                                          */
/* Pointers address the first pixel of the first row; strides are signed    */
/* byte distances from one row to the next. The caller guarantees that      */
/* every touched byte lies in its areas; areas must not overlap. Colour      */
/* arguments use their low 8 bits. The forms ending in X address the        */
/* destination as base + offset.                                            */
/* ------------------------------------------------------------------------ */

/* Copies width x height pixels from src to dst. */
ANIM_API void CopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                          int32_t dstStride, int32_t srcStride);
/* CopyDIBBits to dstBase + dstOffset. */
ANIM_API void CopyDIBBitsX(uint8_t *dstBase, int32_t dstOffset, const uint8_t *src, uint32_t width,
                           uint32_t height, int32_t dstStride, int32_t srcStride);
/* As CopyDIBBits, leaving the destination where the source is transparent. */
ANIM_API void TransCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride, uint32_t transparent);
/* TransCopyDIBBits to dstBase + dstOffset. */
ANIM_API void TransCopyDIBBitsX(uint8_t *dstBase, int32_t dstOffset, const uint8_t *src,
                                uint32_t width, uint32_t height, int32_t dstStride,
                                int32_t srcStride, uint32_t transparent);
/* Each row mirrored: destination pixel width-1-i = source pixel i. */
ANIM_API void CopyDIBBitsReverseX(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                                  int32_t dstStride, int32_t srcStride);
/* Fills width x height pixels of dst with colour. */
ANIM_API void FillDIBBits(uint8_t *dst, uint32_t width, uint32_t height, int32_t dstStride,
                          uint32_t colour);
/* count bytes from dst on become colour. */
ANIM_API void PaintHorizDIBBits(uint8_t *dst, uint32_t count, uint32_t colour);
/* Each source pixel becomes a 2x2 block: the destination receives
 * 2*width x 2*height pixels; dstStride is the destination area's own. */
ANIM_API void StretchDIBBits2x(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride);
/* Kept for callers of older versions: changes nothing, returns 0. */
ANIM_API int32_t EnableManualDoubling(int32_t flag);

/* ------------------------------------------------------------------------ */
/* Effect blitters and masks                                                */
/*                                                                          */
/* Dither patterns are 8-bit rings: pixel i of a row looks at bit            */
/* (8 - i % 8) % 8 of its row's pattern; rows alternate between the two      */
/* patterns. Bit 0 of phase swaps the patterns, phase / 2 rotates them left. */
/* ------------------------------------------------------------------------ */

/* Every non-transparent source pixel paints shadowColour. */
ANIM_API void ShadowCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                                int32_t dstStride, int32_t srcStride, uint32_t transparent,
                                uint32_t shadowColour);
/* Non-transparent source pixels paint hazeColour where the pattern bit is 1
 * and themselves where it is 0. */
ANIM_API void HazeCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                              int32_t dstStride, int32_t srcStride, uint32_t transparent,
                              uint32_t hazeColour, uint32_t phase, uint32_t pattern1,
                              uint32_t pattern2);
/* Non-transparent source pixels are drawn where the pattern bit is 0; where
 * it is 1 the destination shows through. */
ANIM_API void GhostCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride, uint32_t transparent,
                               uint32_t phase, uint32_t pattern1, uint32_t pattern2);
/* Destination pixels whose mask bit is 0 become 0. The mask holds one bit a
 * pixel, most significant bit leftmost, each row starting on its own byte. */
ANIM_API void ZeroDIBUsingMonoMask(uint8_t *dst, const uint8_t *mask, uint32_t width,
                                   uint32_t height, int32_t dstStride, int32_t maskStride);
/* As ZeroDIBUsingMonoMask with each mask row widened one pixel right. */
ANIM_API void ZeroDIBUsingWidenedMonoMask(uint8_t *dst, const uint8_t *mask, uint32_t width,
                                          uint32_t height, int32_t dstStride, int32_t maskStride);

/* ------------------------------------------------------------------------ */
/* DIB analysis and editing                                                 */
/* ------------------------------------------------------------------------ */

/* Bounding box of the non-zero pixels: columns left..right, stored rows
 * low..high (stored rows count from the bottom). Returns dib, or null when
 * dib is null or compressed. An all-zero picture gives an inverted box. */
ANIM_API BITMAPINFOHEADER *GetDIBMinRect(BITMAPINFOHEADER *dib, int32_t *left, int32_t *right,
                                         int32_t *low, int32_t *high);
/* A new DIB of rect (or, rect null, of the non-zero pixels' box), with dib's
 * header and colours; origin receives the kept area's top-left position.
 * Releases dib when it returns a new DIB; null (dib kept) otherwise. */
ANIM_API BITMAPINFOHEADER *TrimDIB(BITMAPINFOHEADER *dib, const RECT *rect, POINT *origin);
/* CRC-16 of the pixels (padding skipped). 0 for null; a compressed dib is
 * released and gives 0. */
ANIM_API uint32_t ChecksumDIB(BITMAPINFOHEADER *dib);
/* Turns newDib, placed at (x, y) of oldDib, into a difference DIB: unchanged
 * pixels become the key colour (kept in biCompression bits 16-23) and oldDib
 * takes the new pixels. Returns newDib; null when an argument is null, or
 * (releasing newDib) when oldDib is smaller or newDib already has a key.
 * With no free key index newDib comes back untouched. */
ANIM_API BITMAPINFOHEADER *DeltaOffsetDIB(BITMAPINFOHEADER *newDib, int32_t x, int32_t y,
                                          BITMAPINFOHEADER *oldDib);
/* DeltaOffsetDIB at (0, 0). */
ANIM_API BITMAPINFOHEADER *DeltaDIB(BITMAPINFOHEADER *newDib, BITMAPINFOHEADER *oldDib);
/* Cell size of a template sheet whose cell corners are marked with the
 * top-left pixel's colour: steps->x the width, steps->y the height. */
ANIM_API void GetDIBTemplateNumbers(const BITMAPINFOHEADER *dib, POINT *steps);
/* A new DIB holding the inclusive rectangle of dib (identity index table);
 * *empty is 1 when every copied pixel is 0. Null when compressed or no
 * block can be had. */
ANIM_API BITMAPINFOHEADER *CopyDIBRectToDIB(const BITMAPINFOHEADER *dib, int32_t left, int32_t top,
                                            int32_t right, int32_t bottom, int32_t *empty);
/* A new DIB with left/top/right/bottom columns and rows of 0 around dib's
 * pixels; null when compressed or no block can be had. */
ANIM_API BITMAPINFOHEADER *PadCopyDIB(const BITMAPINFOHEADER *dib, int32_t left, int32_t top,
                                      int32_t right, int32_t bottom);
/* Fills rect of the pixel area bits described by header (a negative
 * biHeight means rows stored top-down), clipped at the right and bottom.
 * 1 when something was filled, 0 otherwise. */
ANIM_API int32_t FillDIBRect(const BITMAPINFOHEADER *header, uint8_t *bits, const RECT *rect,
                             uint32_t colour);

/* ------------------------------------------------------------------------ */
/* Anx frames and DIBs                                                      */
/* ------------------------------------------------------------------------ */

/* A new raw frame of count rectangles cut from dib; its header rectangle is
 * the whole DIB placed at origin (null: (0, 0)). Null when dib is null or
 * compressed, count is below 0 or above 32767, rects is null with a count,
 * a rectangle reaches outside the DIB, or no block can be had. */
ANIM_API ANXFRAME *CopyDIBToAnxFrame(const BITMAPINFOHEADER *dib, const POINT *origin,
                                     const RECT *rects, int32_t count);
/* First stored byte (bottom row) of rectangle index of a raw frame. Null
 * when the frame is null or compressed, index names no entry, or the
 * entries up to and including index claim more rows than the frame's data
 * size holds (as in a decoded frame of several rectangles). */
ANIM_API uint8_t *GetAnxFrameRectAddress(ANXFRAME *frame, int32_t index);
/* A new DIB holding rectangle index of a raw frame; null where
 * GetAnxFrameRectAddress is, or when no block can be had. */
ANIM_API BITMAPINFOHEADER *CopyAnxFrameRectToDIB(const ANXFRAME *frame, int32_t index);
/* Releases a frame; null is ignored. A pointer that is no live block of
 * ALLOCATE ends the process, as in FREE. */
ANIM_API void DeleteAnxFrame(ANXFRAME *frame);

/* ------------------------------------------------------------------------ */
/* KOVRLE codec                                                             */
/* ------------------------------------------------------------------------ */

#define ANX_STREAM_WHOLE_FRAME 1
#define ANX_STREAM_LINE_BY_LINE 2
/* Entries of a decompression table (uint16_t each). */
#define KOVRLE_TABLE_ENTRIES 256
/* Counters of a statistics table (uint32_t each): [value][run length]. */
#define KOVRLE_STATISTICS_COUNT (256 * 100)
/* limit argument of KOVRLEFinishDecompTable asking for the automatic limit. */
#define KOVRLE_AUTO_LIMIT 0xFFFFu

/* Expands frame (raw or compressed) into buffer (bufferSize bytes) or, with
 * buffer null, into a new block. overlay: a number-overlay frame or null.
 * table: the decompression table (its entry 0 is changed and restored
 * during a line-by-line decode). scale: 1..100 percent. numberIndex: 0..199
 * into the number mask table; numberColour: the colour of the number.
 * mirror: nonzero mirrors left to right. streamKind: ANX_STREAM_*.
 * Expanding a compressed frame rewrites every rectangle entry to end at the
 * expanded picture's far corner (right = width - 1, bottom = height - 1),
 * keeping its left and top: in a frame of several rectangles the entries
 * then no longer describe the pixels, and GetAnxFrameRectAddress and
 * CopyAnxFrameRectToDIB refuse each entry whose rows would reach past the
 * frame's data size.
 * Returns the raw frame, or null (frame null, buffer too small, no block). */
ANIM_API ANXFRAME *AnxUnKOVRLEFrame(const ANXFRAME *frame, const ANXFRAME *overlay, uint16_t *table,
                                    ANXFRAME *buffer, uint32_t bufferSize, int32_t scale,
                                    int32_t numberIndex, uint32_t numberColour, int32_t mirror,
                                    int32_t streamKind);

/* Sets every counter of a statistics table to 0. */
ANIM_API void KOVRLEStartDecompTable(uint32_t *statistics);
/* Counts the runs of count bytes taken as one sequence (runs of 100 or more
 * are not counted). */
ANIM_API void KOVRLEUpdateDecompTable(const uint8_t *data, uint32_t count, uint32_t *statistics);
/* Counts the runs of height back-to-back rows of width bytes; a run of 100
 * or more counts once at length 0, which keeps its value plain. */
ANIM_API void KOVRLEUpdateDecompTableLineByLine(const uint8_t *data, uint32_t width,
                                                uint32_t height, uint32_t *statistics);
/* Builds a header-form decompression table from the statistics (which it
 * consumes). reserve: unused values held back (low 2 bits); limit: most
 * value and length markers (low 16 bits; KOVRLE_AUTO_LIMIT for automatic). */
ANIM_API void KOVRLEFinishDecompTable(uint32_t *statistics, uint16_t *table, uint32_t reserve,
                                      uint32_t limit);
/* Rewrites a header-form table into line form in place: every entry equal to
 * entry 0 (other than entry 0) becomes (1, b). Line-form tables serve both
 * decoders. */
ANIM_API void KOVRLEConvertTableToLineForm(uint16_t *table);

/* Encoders: each returns a new compressed block and releases its input, or
 * returns null and leaves the input untouched and the caller's. The input
 * must be a block from ALLOCATE; other memory ends the process. */
/* Whole-frame KOVRLE stream of a raw frame. */
ANIM_API ANXFRAME *AnxKOVRLEFrame(ANXFRAME *frame, const uint16_t *table);
/* Line-by-line KOVRLE stream of a raw one-rectangle frame width x height. */
ANIM_API ANXFRAME *AnxKOVRLEFrameLineByLine(ANXFRAME *frame, const uint16_t *table, uint16_t width,
                                            uint16_t height);
/* As AnxKOVRLEFrameLineByLine; with table null, a number-overlay stream. */
ANIM_API ANXFRAME *AnxFrameLineByLine(ANXFRAME *frame, const uint16_t *table, uint16_t width,
                                      uint16_t height);
/* Single-escape stream of a raw frame; the escape byte goes into the low
 * byte of compression. */
ANIM_API ANXFRAME *CompressAnxFrame(ANXFRAME *frame);
/* Single-escape stream of a DIB's pixels: contiguous nonzero codes the whole
 * pixel area, 0 codes each row's pixels without padding. */
ANIM_API BITMAPINFOHEADER *CompressPDIB(BITMAPINFOHEADER *dib, int32_t contiguous);

/* ------------------------------------------------------------------------ */
/* Display: in-memory windows and palettes                                  */
/* ------------------------------------------------------------------------ */

/* A new in-memory 8-bit window of width x height pixels (all index 0) for
 * the game to paint into; null when the size is refused. */
ANIM_API HDC AnimCreateWindowDC(int32_t width, int32_t height);
/* Releases a window from AnimCreateWindowDC; null is ignored. */
ANIM_API void AnimDestroyWindowDC(HDC dc);
/* The window's pixel indices, top row first; *stride (may be null)
 * receives the bytes per row. Null for a null or unknown dc. */
ANIM_API const uint8_t *AnimWindowPixels(HDC dc, int32_t *stride);
/* Writes the window's width and height in pixels (either pointer may be
 * null); 1, or 0 with nothing written for a dc that is not a window. */
ANIM_API int32_t AnimWindowSize(HDC dc, int32_t *width, int32_t *height);
/* The colours the window shows now: its selected and realised palette
 * (palette animation included), or the system palette where none is. */
ANIM_API void AnimWindowColors(HDC dc, RGBQUAD colors[256]);
/* For the window's presenter (one reader a window): what to show again
 * since the last call. Writes up to capacity inclusive rectangles that
 * cover every pixel the library copied into the window (paints, wipe
 * strips, debug outlines), joined by the dirty-rectangle rule
 * (SetJoinRectOverhead), or the whole window as one rectangle when more
 * would be needed, and returns their count (0: no pixel written).
 * *colourSerial (may be null) receives a number that moves on whenever the
 * colours the window shows (AnimWindowColors: palette selection, fades,
 * cycling, scrolling) differ from those at the previous call. Starts a new
 * record. -1, with the record kept and nothing written, for a dc that is
 * not a window, a null rects or a capacity below 1. Never ends the
 * process. */
ANIM_API int32_t AnimWindowChanges(HDC dc, RECT *rects, int32_t capacity, uint32_t *colourSerial);
/* A palette handle made from lp (palNumEntries entries, at most 256);
 * null when lp is null or empty. */
ANIM_API HPALETTE AnimCreatePalette(const LOGPALETTE *lp);
/* Copies up to count entries from first on into out; returns how many. */
ANIM_API uint32_t AnimGetPaletteEntries(HPALETTE pal, uint32_t first, uint32_t count,
                                        PALETTEENTRY *out);
/* Deletes a palette handle the game made or the library made for it. */
ANIM_API void AnimDeletePalette(HPALETTE pal);
/* What the display recommends for off-screen surfaces from now on: bits
 * per pixel (8 is the only one the library draws in) and row order
 * (topDown nonzero: rows top to bottom in memory; the default). */
ANIM_API void AnimSetDisplayFormat(int32_t bitsPerPixel, int32_t topDown);

/* ------------------------------------------------------------------------ */
/* Master palette                                                           */
/*                                                                          */
/* Indices 0-9 and 246-255 are the display's static colours; 10-245 are the */
/* game's 236 colours, animatable. Functions returning uint16_t answer a    */
/* canvas status: 0 success, 1 platform call failed, 2 out of memory,       */
/* 3 missing data, 4 missing device context or palette, 5 surface not made, */
/* 6 unsupported display format.                                            */
/* ------------------------------------------------------------------------ */

/* Reads the system palette of dc into the master colours. */
ANIM_API uint16_t InitMasterPalette(EngineState *engine, HDC dc);
/* Makes the palette handle from the master colours: first..last reserved
 * for animation (-255, -255: no flags at all). Null on failure. */
ANIM_API HPALETTE CreateMasterPalette(EngineState *engine, int32_t first, int32_t last);
/* The engine's palette handle, or null. */
ANIM_API HPALETTE MasterPalette(EngineState *engine);
/* Sets master colour index to *colour. An index outside 0-255 or a null
 * colour is refused (canvas error 3) and changes nothing. */
ANIM_API void AddColor(EngineState *engine, int32_t index, const RGBQUAD *colour);
/* Takes colours first..last (clamped to 0..255) from dib's colour table. */
ANIM_API void ColorsFromBI(EngineState *engine, const BITMAPINFOHEADER *dib, int32_t first,
                           int32_t last);
/* Takes colours first..last (clamped to 0..255) from table[first..last]. */
ANIM_API void ColorsFromTable(EngineState *engine, const RGBQUAD *table, int32_t first,
                              int32_t last);
/* Adopts the game's palette handle (not copied, never deleted by the
 * library); returns the number of entries read from it (entries beyond a
 * short palette keep their colours). Null or a deleted handle: 0, nothing
 * adopted. */
ANIM_API int32_t SetAnimPalette(EngineState *engine, HPALETTE palette);
/* Selects and realises the palette into dc; *realised (may be null) gets
 * the entries realised. Returns the palette previously selected. */
ANIM_API HPALETTE SetPaletteEx(EngineState *engine, HDC dc, int32_t *realised);
/* SetPaletteEx without the count. */
ANIM_API HPALETTE SetPalette(EngineState *engine, HDC dc);
/* The surface shows colour source at index (the master colours keep it).
 * Either index outside 0-255: 3, nothing changed. */
ANIM_API uint16_t RedirectColor(EngineState *engine, int32_t index, int32_t source);
/* Colours the display keeps for itself (20 on a display without palette). */
ANIM_API int32_t NumColorsReserved(void);

/* ------------------------------------------------------------------------ */
/* Palette effects: one step per call, colours only, never pixels           */
/* ------------------------------------------------------------------------ */

/* colours: 15 normal then 15 x-ray colours; flag nonzero starts at the
 * x-ray end (level 15), else at the normal end (0). */
ANIM_API void SetXrayFade(EngineState *engine, const RGBQUAD *colours, int32_t flag);
/* One x-ray fade step toward x-ray (direction 1) or normal (0). 1 when a
 * step was taken, 0 at the end. */
ANIM_API int32_t FadeXrayScene(EngineState *engine, int32_t direction);
/* One step of first..last toward full colour (1) or black (0). 1 when a
 * step was taken (an empty range steps without sending colours), 0 at the
 * end or when first < 0 or last > 255 (then nothing changes). */
ANIM_API int32_t FadeBlacknessSceneLimited(EngineState *engine, int32_t direction, int32_t first,
                                           int32_t last);
/* FadeBlacknessSceneLimited over the game's colours 10..245. */
ANIM_API int32_t FadeBlacknessScene(EngineState *engine, int32_t direction);
/* Jumps first..last to full colour (1) or black (0); returns 1, or 0 when
 * first < 0 or last > 255 (nothing changes). */
ANIM_API int32_t SetBlacknessFadeLimited(EngineState *engine, int32_t direction, int32_t first,
                                         int32_t last);
/* SetBlacknessFadeLimited over 10..245. */
ANIM_API int32_t SetBlacknessFade(EngineState *engine, int32_t direction);
/* Moves every colour of first..last one index down, the first to last. */
ANIM_API void CyclePalette(EngineState *engine, int32_t first, int32_t last);
/* A picture tiled with the indices of a tileWidth x tileHeight tile (at
 * most 236 pixels); null when the tile is too large or no block can be had. */
ANIM_API BITMAPINFOHEADER *CreateScrollingDIB(int32_t tileWidth, int32_t tileHeight, int32_t across,
                                              int32_t down);
/* Spreads source's colours over the tile indices, offset by (dx, dy)
 * (clamped to the source's size). A source of more than 236 pixels, or
 * whose header does not fit its block, is refused. */
ANIM_API void ScrollPaletteFromDIB(EngineState *engine, int32_t dx, int32_t dy,
                                   const BITMAPINFOHEADER *source);

/* ------------------------------------------------------------------------ */
/* Sprite engine: engine start, sprites and sprite images                   */
/*                                                                          */
/* Sprite handles are 0-511, image handles 0-255, template handles 0-15;    */
/* -1 means none. A handle outside its range is treated as a free slot.     */
/* Depth: larger is further back; a full paint covers depths 0 to 32767.    */
/* ------------------------------------------------------------------------ */

/* Sprite anchor modes for ShowSprite and SetSpritePosition. */
#define ANIM_ANCHOR_CENTRE 0
#define ANIM_ANCHOR_FOOT 1
#define ANIM_ANCHOR_TOP_LEFT (-1)

/* A new engine: sprite and image tables, master colours from the system
 * palette. Null when a block cannot be had. Release with TerminateAnimate,
 * then FREE. */
ANIM_API EngineState *InitAnimate(void);
/* Deletes the background, destroys the surface and frees the tables. The
 * engine block itself stays for FREE, and templates opened with
 * OpenSpriteTemplate stay open (close them first). Null is ignored. */
ANIM_API void TerminateAnimate(EngineState *engine);
/* mode nonzero: sprites drawn by depth (deepest first); 0: in slot order. */
ANIM_API void SetSortMode(EngineState *engine, int32_t mode);
/* A new hidden sprite; its handle, or -1 when all 512 are taken. */
ANIM_API int32_t AddSprite(EngineState *engine);
/* Frees a sprite slot without repainting its area: 0, -1 (slot free) or
 * -2 (no sprites at all). */
ANIM_API int32_t DeleteSprite(EngineState *engine, int32_t sprite);
/* Gives the sprite an image and hides it (nothing is repainted). */
ANIM_API void SetSpriteSpriteDib(EngineState *engine, int32_t sprite, int32_t image);
/* Places, shows and invalidates the sprite (old and new areas). */
ANIM_API void ShowSprite(EngineState *engine, int32_t sprite, int32_t x, int32_t y, int32_t depth,
                         int32_t anchor);
/* Places the sprite without invalidating anything. */
ANIM_API void SetSpritePosition(EngineState *engine, int32_t sprite, int32_t x, int32_t y,
                                int32_t depth, int32_t anchor);
/* 1 when the sprite was shown and is hidden now (its area invalidated). */
ANIM_API int32_t HideSprite(EngineState *engine, int32_t sprite);
/* 1 when the sprite was hidden and is shown now (its area invalidated). */
ANIM_API int32_t UnHideSprite(EngineState *engine, int32_t sprite);
/* The sprite's anchor point and depth; nothing is written for a free slot.
 * Any output pointer may be null. */
ANIM_API void GetSpritePosition(EngineState *engine, int32_t sprite, int32_t *x, int32_t *y,
                                int32_t *depth);
/* The sprite's rectangle (inclusive, scene coordinates). */
ANIM_API void GetSpriteRect(EngineState *engine, RECT *rect, int32_t sprite);
/* A new sprite image showing the whole DIB (borrowed, never freed by the
 * engine); dib may be null for an empty image. Its handle, or -1. */
ANIM_API int32_t AddSpriteDib(EngineState *engine, BITMAPINFOHEADER *dib);
/* Points an image at a whole DIB (or null). */
ANIM_API void SetSpriteDib(EngineState *engine, int32_t image, BITMAPINFOHEADER *dib);
/* Points an image at the pixels of the first rectangle of a raw frame. A
 * compressed frame, one without rectangles, one whose first rectangle is
 * empty and one whose pixel area is shorter than that rectangle's rows are
 * refused with a trace (level 1) and leave the image as it was. */
ANIM_API void SetSpriteDibFromAnxFrameRect0(EngineState *engine, int32_t image, ANXFRAME *frame);
/* Limits an image to rect (inclusive, top-down) of its pixels. */
ANIM_API void SetSpriteDibSizeFromRect(EngineState *engine, int32_t image, const RECT *rect);
/* Frees an image slot: 0, -1 (slot free) or -2 (no images at all). */
ANIM_API int32_t DeleteSpriteDib(EngineState *engine, int32_t image);
/* The image's first stored pixel row, or null for a free slot. */
ANIM_API uint8_t *GetSpritePDib(EngineState *engine, int32_t image);
/* The image's width and height. */
ANIM_API void GetDibSize(EngineState *engine, int32_t image, int32_t *width, int32_t *height);

/* ------------------------------------------------------------------------ */
/* Invalid rectangles                                                       */
/* ------------------------------------------------------------------------ */

/* Marks an inclusive scene rectangle for repainting (clipped to the scene,
 * joined with a listed rectangle when the join rule says so). */
ANIM_API void MakeRectInvalid(EngineState *engine, int32_t left, int32_t top, int32_t right,
                              int32_t bottom);
/* Marks one whole scene row for the magnified painter. */
ANIM_API void MakeScanlineInvalid(EngineState *engine, int32_t y);
/* flag nonzero: PaintScene traces and outlines each rectangle it repaints. */
ANIM_API void SetDebugInvalidRects(EngineState *engine, int32_t flag);

/* ------------------------------------------------------------------------ */
/* Background and off-screen image                                          */
/* ------------------------------------------------------------------------ */

/* Reads a DIB file as the background: scene extent, game colours 10-245,
 * surface, whole scene invalid. 1 when read and the surface made. */
ANIM_API int32_t SetBackground(EngineState *engine, const char *fileName);
/* As SetBackground with the surface magnified by scale. */
ANIM_API int32_t SetBackgroundPlus(EngineState *engine, const char *fileName, int32_t scale);
/* Adopts dib as the background (the engine frees it later, so it must be a
 * block from ALLOCATE: other memory ends the process when it is released);
 * the master palette is not touched. 1 when the surface was made. */
ANIM_API int32_t SetBackgroundFromPDIB(EngineState *engine, BITMAPINFOHEADER *dib);
/* Replaces the background picture only; takeColours nonzero also takes its
 * colours. 1 when the file was read. */
ANIM_API int32_t SetBackgroundDibOnly(EngineState *engine, const char *fileName,
                                      int32_t takeColours);
/* Deletes the background picture; scene and surface stay. */
ANIM_API void DeleteBackgroundDibOnly(EngineState *engine);
/* Deletes background, scene and surface; returns the canvas status. */
ANIM_API uint16_t DeleteBackground(EngineState *engine);
/* A scene without background, the size of dib (borrowed). Returns the
 * previous off-screen DIB, always null. */
ANIM_API BITMAPINFOHEADER *SetOffScreenDib(EngineState *engine, BITMAPINFOHEADER *dib);
/* A scene without background of width x height: 0 when made, 1 on failure. */
ANIM_API int32_t MakeOffScreenDib(EngineState *engine, int32_t width, int32_t height);
/* Sets the background magnification; returns the previous one. */
ANIM_API int32_t SetBackgroundStretch(EngineState *engine, int32_t scale);
/* Moves rect (same size) so that it lies inside the scene. */
ANIM_API void OffsetRectInsideBackground(EngineState *engine, RECT *rect);

/* ------------------------------------------------------------------------ */
/* Painting                                                                 */
/*                                                                          */
/* The draw-callback exports answer 0, 8 (all 50 entries used), 9 (no entry */
/* matched) or 10 (low depth above high depth).                             */
/* ------------------------------------------------------------------------ */

/* Recomposes every invalid rectangle and copies it to dc; empties the list. */
ANIM_API void PaintScene(EngineState *engine, HDC dc);
/* Recomposes and copies one inclusive rectangle; the list is untouched. */
ANIM_API void PaintSceneRect(EngineState *engine, HDC dc, const RECT *rect);
/* Registers a callback for the layers between highDepth and lowDepth. */
ANIM_API uint16_t RegisterDrawCallback(EngineState *engine, AnimDrawCallback callback,
                                       int32_t highDepth, int32_t lowDepth, int32_t user);
/* Removes every entry with exactly these callback and depths. */
ANIM_API uint16_t UnregisterDrawCallback(EngineState *engine, AnimDrawCallback callback,
                                         int32_t highDepth, int32_t lowDepth);
/* Removes every callback; returns 0. */
ANIM_API uint16_t UnregisterAllDrawCallbacks(EngineState *engine);
/* flag nonzero: window copies go through the GDI path with the master
 * colours. */
ANIM_API void EnablePrinter(EngineState *engine, int32_t flag);
/* Zeroes the paint timers and switches timing on. */
ANIM_API void ResetFixupPaintTimes(EngineState *engine);
/* Milliseconds spent composing and copying since the reset; either output
 * may be null. */
ANIM_API void GetFixupPaintTimes(EngineState *engine, uint32_t *composeMs, uint32_t *copyMs);
/* As PaintScene, magnified by a whole-number scale in the window. */
ANIM_API void PaintSceneStretch(EngineState *engine, HDC dc, int32_t scale);
/* Magnified paint of invalid rectangles and scanlines over a background
 * scrolled by (scrollX, scrollY). */
ANIM_API void PaintSceneStretchPlus(EngineState *engine, HDC dc, int32_t scale, int32_t scrollX,
                                    int32_t scrollY);
/* As PaintScene for the sprites of depths lowDepth..highDepth only (the
 * background only when highDepth is 32767). */
ANIM_API void PaintScenePartialDepth(EngineState *engine, HDC dc, int32_t lowDepth,
                                     int32_t highDepth);
/* Wipes the first invalid rectangle on in 5-pixel strips, at least 25 ms
 * each: effect 2 top to bottom, 3 bottom to top, 4 left to right, any
 * other right to left. */
ANIM_API void PaintSceneSFX(EngineState *engine, HDC dc, int16_t effect);

/* ------------------------------------------------------------------------ */
/* Sprite templates and hit testing                                         */
/* ------------------------------------------------------------------------ */

/* Reads a template sheet (owned by the engine); its handle, or -1 when 16
 * are taken. A file that cannot be read still takes a (null) slot. */
ANIM_API int32_t OpenSpriteTemplate(EngineState *engine, const char *fileName);
/* Adds a template sheet that stays the caller's; its handle, or -1. */
ANIM_API int32_t AddSpriteTemplate(EngineState *engine, BITMAPINFOHEADER *dib);
/* Replaces a template slot's DIB (the caller's). */
ANIM_API void SetSpriteTemplate(EngineState *engine, int32_t templ, BITMAPINFOHEADER *dib);
/* Releases a template slot; the DIB stays the caller's. */
ANIM_API void DeleteSpriteTemplate(EngineState *engine, int32_t templ);
/* Releases a template slot and deletes its DIB. */
ANIM_API void CloseSpriteTemplate(EngineState *engine, int32_t templ);
/* A new image of width x height from (left, top) of a template; its handle,
 * or -1. */
ANIM_API int32_t AddSpriteDibFromTemplate(EngineState *engine, int32_t templ, int32_t left,
                                          int32_t top, int32_t width, int32_t height);
/* Points an existing image at a part of a template. */
ANIM_API void SetSpriteDibFromTemplate(EngineState *engine, int32_t templ, int32_t image,
                                       int32_t left, int32_t top, int32_t width, int32_t height);
/* The front-most shown sprite with an opaque pixel at (x, y): 1 and
 * *sprite set, or 0 and *sprite = 0. */
ANIM_API int32_t GetSpriteFromPoint(EngineState *engine, int32_t x, int32_t y, int32_t *sprite);

/* ------------------------------------------------------------------------ */
/* Projector: multi-animation files, anim objects, projection               */
/*                                                                          */
/* "Ends the process before InitProjector" marks the calls that need the    */
/* projector's tables: before InitProjector, after TerminateProjector or a   */
/* failed InitProjector, and with a null engine they end the process         */
/* through ReportAssertion. An anim object index that names no object in    */
/* use is refused quietly (nothing happens, or the failure result), apart    */
/* from -1 in the ProjectFrame calls.                                       */
/* ------------------------------------------------------------------------ */

/* Bit of LoadMultiAnim's loadFlags: load the player-number records too. */
#define ANIM_LOAD_PLAYER_NUMBERS 1
/* Bit of ProjectFrameScaleFlip's flags: mirror left to right. */
#define ANIM_PROJECT_MIRROR 1

/* Makes the projector's four tables. 1, or 0 (traced) when one cannot be
 * had, the engine is null, a capacity is negative or the tables exist. */
ANIM_API int32_t InitProjector(EngineState *engine, int32_t maxAnimObjects, int32_t maxSequences,
                               int32_t maxMultiAnims);
/* Destroys every anim object and loaded multi-animation, frees the tables.
 * Call before TerminateAnimate. Safe without InitProjector. */
ANIM_API void TerminateProjector(EngineState *engine);
/* Loads a multi-animation file; sequence i gets ids[i] (maxIds of them).
 * tableCount 1 or 2 (the second recoloured, see DupKOVRLETableSetup).
 * Returns its handle, or -1 (nothing is left behind). Ends the process
 * before InitProjector, and, once the file's sequences are entered, for an
 * id of -1, an id already loaded (by an earlier file or earlier in ids) or
 * a tableCount other than 1 or 2. */
ANIM_API int32_t LoadMultiAnim(EngineState *engine, const char *path, const int32_t *ids,
                               int32_t maxIds, int32_t tableCount, int32_t loadFlags);
/* 1 when released (or the slot was free), 0 while an anim object still plays
 * one of its sequences or the handle is out of range (traced). Ends the
 * process before InitProjector. */
ANIM_API int32_t DestroyMultiAnim(EngineState *engine, int32_t handle);
/* Colour range first..first+count-1 moved by shift in the second table of
 * later loads. */
ANIM_API void DupKOVRLETableSetup(EngineState *engine, uint8_t first, uint8_t count, uint8_t shift);
/* A new anim object with its own (hidden) sprite and image; its index, or
 * -1. Ends the process before InitProjector. */
ANIM_API int32_t GetAnimObject(EngineState *engine);
/* Releases the object, its sprite and image (the sprite is not repainted).
 * Ends the process before InitProjector. */
ANIM_API void DestroyAnimObject(EngineState *engine, int32_t object);
/* Binds the object to the sequence id (-1: none) decoded through table
 * tableIndex. 1 when bound (or unbound), 0 when the id is not loaded or its
 * frames do not fit the object's buffer. unused is ignored. Ends the process
 * before InitProjector. */
ANIM_API int32_t SetAnimObjectAnim(EngineState *engine, int32_t object, int32_t id,
                                   int32_t tableIndex, int32_t unused);
/* Shirt number 0-99 from the next projection on; returns the previous (0
 * for no object). A number outside 0-99 ends the process, and so does a
 * call before InitProjector. */
ANIM_API int32_t SetAnimObjectPlayerNumber(EngineState *engine, int32_t object, int32_t number,
                                           int32_t flag);
/* Frames of the sequence played, 0 for an object playing nothing. Ends the
 * process before InitProjector. */
ANIM_API int32_t FrameCount(EngineState *engine, int32_t object);
/* The next frame to project. Ends the process before InitProjector. */
ANIM_API int32_t GetFrameNum(EngineState *engine, int32_t object);
/* The object's sprite handle. Ends the process before InitProjector. */
ANIM_API int32_t GetSprite(EngineState *engine, int32_t object);
/* The object's sprite image handle. Ends the process before InitProjector. */
ANIM_API int32_t GetSpriteDib(EngineState *engine, int32_t object);
/* The object whose sprite shows an opaque pixel at (x, y), or -1. Ends the
 * process before InitProjector. */
ANIM_API int32_t GetSeqFromPoint(EngineState *engine, int32_t x, int32_t y);
/* Per-frame offset of the object's sequence (shared by all its players).
 * Ends the process before InitProjector. */
ANIM_API void SetSeqFrameOffset(EngineState *engine, int32_t object, int32_t frame, int32_t x,
                                int32_t y);
/* Reads it into *out (left alone when object or frame names none; a null
 * out does nothing at all). Ends the process before InitProjector. */
ANIM_API void GetSeqFrameOffset(EngineState *engine, int32_t object, int32_t frame, POINT *out);
/* Per-frame offset kept in the loaded frame's header. Ends the process before InitProjector. */
ANIM_API void SetFrameOffsetXY(EngineState *engine, int32_t object, int32_t frame, int32_t x,
                               int32_t y);
/* Reads it into *x and *y (either may be null; left alone when object or
 * frame names none). Ends the process before InitProjector. */
ANIM_API void GetFrameOffsetXY(EngineState *engine, int32_t object, int32_t frame, int32_t *x,
                               int32_t *y);
/* Projects the next frame at (x, y) (top-left) and depth, shown, and moves
 * on to the frame after it. 1 when a frame was projected, 0 at the end of
 * the sequence or without one: the sequence does not loop by itself, so
 * on 0 call RewindAnx (or SetFrameNum) and project again. Object -1 ends the
 * process (another index that names no object answers 0), and so does a
 * call before InitProjector. */
ANIM_API int32_t ProjectFrame(EngineState *engine, int32_t object, int32_t x, int32_t y,
                              int32_t depth);
/* ProjectFrame; show 0: nothing is invalidated (the game repaints by other
 * means). Ends the process for object -1 and before InitProjector. */
ANIM_API int32_t ProjectFramePlus(EngineState *engine, int32_t object, int32_t x, int32_t y,
                                  int32_t depth, int32_t show);
/* ProjectFramePlus at scale 1-100 percent, mirrored with flags
 * ANIM_PROJECT_MIRROR (scalable sequences). Ends the process for object -1
 * and before InitProjector. */
ANIM_API int32_t ProjectFrameScaleFlip(EngineState *engine, int32_t object, int32_t x, int32_t y,
                                       int32_t depth, int32_t show, int32_t scale, int32_t flags);
/* Seeks to frame; returns the object's frame afterwards, -1 for a free
 * object. Ends the process before InitProjector. */
ANIM_API int32_t SetFrameNum(EngineState *engine, int32_t object, int32_t frame);
/* Back to frame 0 (a delta sequence's picture restored). Ends the process before InitProjector. */
ANIM_API void RewindAnx(EngineState *engine, int32_t object);
/* Back to frame 0 (1 for a delta sequence, picture not restored).
 * Ends the process before InitProjector. */
ANIM_API void OldRewindAnx(EngineState *engine, int32_t object);
/* Hides the object's sprite: the result of HideSprite, 0 for no object.
 * Ends the process before InitProjector. */
ANIM_API int32_t ErasePreviousFrame(EngineState *engine, int32_t object);
/* As ErasePreviousFrame; invalidate 0: hides the sprite without marking
 * its area. Ends the process before InitProjector. */
ANIM_API void ErasePreviousFramePlus(EngineState *engine, int32_t object, int32_t invalidate);
/* ErasePreviousFrame under another name: 1 when the object's sprite was
 * shown and is hidden now, else 0. Ends the process before InitProjector. */
ANIM_API int32_t HideFrame(EngineState *engine, int32_t object);
/* Shows the sprite again at the object's stored position. Ends the process before InitProjector. */
ANIM_API void ShowFrame(EngineState *engine, int32_t object);
/* Releases the frame projected last when the projector expanded it: 1, or
 * 0 when there was none to release. Ends the process before InitProjector. */
ANIM_API int32_t DeleteFrameImmediate(EngineState *engine, int32_t object);
/* Number colour of team 0 or 1 (their table index); returns colour. */
ANIM_API uint8_t SetPlayerNumbersTeamColor(EngineState *engine, int32_t team, uint8_t colour);
/* Keeps the number-art colours 1-9 and 246-250 of width x height
 * back-to-back bytes and zeroes the rest. Null does nothing. */
ANIM_API void AnxFilterJerseyColors(uint8_t *pixels, uint16_t width, uint16_t height);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ANIMATE_H */
