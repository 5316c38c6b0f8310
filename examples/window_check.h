/* What the examples print to prove what they drew: a CRC-32 of a window's
 * pixel indices (top row first, row padding left out) followed by the 256
 * colours the window shows them in. Two runs that print the same value put
 * the same picture on screen. */
#ifndef WINDOW_CHECK_H
#define WINDOW_CHECK_H

#include <stddef.h>
#include <stdint.h>

#include <animate.h>

static inline uint32_t Crc32(uint32_t crc, const void *data, size_t size) {
    const uint8_t *bytes = (const uint8_t *)data;
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

/* CRC of the pixels alone: unchanged by palette effects. */
static inline uint32_t WindowPixelCrc(HDC window, int32_t width, int32_t height) {
    int32_t stride = 0;
    const uint8_t *pixels = AnimWindowPixels(window, &stride);
    uint32_t crc = 0;
    for (int32_t y = 0; pixels != NULL && y < height; ++y)
        crc = Crc32(crc, pixels + (size_t)y * (size_t)stride, (size_t)width);
    return crc;
}

/* CRC of the pixels and the colours the window shows. */
static inline uint32_t WindowCrc(HDC window, int32_t width, int32_t height) {
    RGBQUAD colours[256];
    AnimWindowColors(window, colours);
    return Crc32(WindowPixelCrc(window, width, height), colours, sizeof colours);
}

/* The colour index the window shows at (x, y), counted from the top left. */
static inline uint8_t WindowPixel(HDC window, int32_t x, int32_t y) {
    int32_t stride = 0;
    const uint8_t *pixels = AnimWindowPixels(window, &stride);
    return pixels[(size_t)y * (size_t)stride + (size_t)x];
}

#endif /* WINDOW_CHECK_H */
