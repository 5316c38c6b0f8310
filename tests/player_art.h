// Pictures for the projector and writer tests: small players with kit
// colours, shirt-number art and moving delta scenes, all made from seeds so
// that every test can rebuild the same frames; and the multi-animation file
// the projector tests load, made from them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "anx_writer.h"

namespace anim::test {

// Kit colours the second team's table shifts.
inline constexpr std::uint8_t kKitFirst = 16;
inline constexpr std::uint8_t kKitCount = 8;
inline constexpr std::uint8_t kKitShift = 32;

// A w x h player: transparent surround, a body in kit colours with stripes
// that move with seed, skin and outline colours outside the kit range.
inline writer::Image PlayerPicture(std::int32_t w, std::int32_t h, std::uint32_t seed) {
    writer::Image image(w, h, 0);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const std::int32_t dx = x - w / 2;
            if (dx * dx * 4 >= w * w * (y + 1) / (h + 1) + 4) continue;          // outside the body
            const std::uint32_t colour = y < h / 5       ? 100 + (x + seed) % 3  // head
                                         : y < h * 3 / 5 ? kKitFirst + (x / 3 + y / 4 + seed) % kKitCount
                                                         : 60 + (y + seed) % 5;  // legs
            image.at(x, y) = static_cast<std::uint8_t>(x == 0 || y == h - 1 ? 200 : colour);
        }
    return image;
}

// Two-digit number art: each digit in bands of its seven segment colours
// (left digit 1-7, right digit 9, 8, 246-250), with transparent gaps.
inline writer::Image NumberArt(std::int32_t w, std::int32_t h) {
    constexpr std::uint8_t kSegments[2][7] = {{1, 4, 2, 3, 5, 7, 6}, {9, 8, 246, 247, 248, 250, 249}};
    writer::Image art(w, h, 0);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) art.at(x, y) = x % 4 == 3 ? 0 : kSegments[x * 2 / w][y * 7 / h];
    return art;
}

// A scalable sequence of frames players w x h, feet at the projected point,
// with number art on the chest of every frame when numbered.
inline std::vector<writer::Frame> PlayerRun(std::int32_t frames, std::int32_t w, std::int32_t h, bool numbered) {
    std::vector<writer::Frame> run(static_cast<std::size_t>(frames));
    for (std::int32_t k = 0; k < frames; ++k) {
        writer::Frame &f = run[static_cast<std::size_t>(k)];
        f.image = PlayerPicture(w, h, static_cast<std::uint32_t>(k));
        f.originX = -w / 2;
        f.originY = -h;
        f.adjustX = static_cast<std::int16_t>(k % 3);
        f.adjustY = static_cast<std::int16_t>(-(k % 2));
        if (numbered) f.number = writer::NumberOverlay{NumberArt(w / 2, h / 5), w / 4, h / 4};
    }
    return run;
}

// A delta scene w x h: a fixed backdrop with a block that moves right by
// 3 pixels each frame and a counter strip that changes colour.
inline std::vector<writer::Frame> DeltaScene(std::int32_t frames, std::int32_t w, std::int32_t h) {
    std::vector<writer::Frame> scene(static_cast<std::size_t>(frames));
    for (std::int32_t k = 0; k < frames; ++k) {
        writer::Frame &f = scene[static_cast<std::size_t>(k)];
        f.image = writer::Image(w, h, 0);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                const bool block = y >= h / 3 && y < h / 3 + 10 && x >= k * 3 && x < k * 3 + 12;
                f.image.at(x, y) = static_cast<std::uint8_t>(block ? 150 + (x + y) % 2 : 30 + (x / 8 + y / 8) % 4);
            }
        for (std::int32_t x = 0; x < 6 && x < w; ++x) f.image.at(x, h - 1) = static_cast<std::uint8_t>(90 + k % 7);
        f.originX = 5;
        f.originY = 7;
    }
    return scene;
}

// Sequence ids the standard file's sequences are loaded under.
inline constexpr std::int32_t kRunId = 10;
inline constexpr std::int32_t kNumberedId = 11;
inline constexpr std::int32_t kDeltaId = 12;
inline constexpr std::int32_t kStandardIds[] = {kRunId, kNumberedId, kDeltaId};

// The standard file: a plain run, a numbered run whose frame 2 repeats
// frame 0 and whose frame 1 has no number, and a delta scene with key frames
// at 0, 4 and 8.
inline constexpr std::int32_t kNumberedFrames = 4;
inline constexpr std::int32_t kDeltaFrames = 10;

inline std::vector<std::uint8_t> StandardFile() {
    writer::Writer writer;
    EXPECT_TRUE(writer.AddScalableSequence(PlayerRun(3, 16, 20, false), "run"));
    auto numbered = PlayerRun(kNumberedFrames, 40, 50, true);
    numbered[1].number.reset();
    numbered[2] = writer::Frame{};
    numbered[2].repeatOf = 0;
    EXPECT_TRUE(writer.AddScalableSequence(numbered, "numbered"));
    writer::DeltaOptions options;
    options.keyInterval = 4;
    EXPECT_TRUE(writer.AddDeltaSequence(DeltaScene(kDeltaFrames, 48, 30), "scene", options));
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(writer.Build(bytes));
    return bytes;
}

}  // namespace anim::test
