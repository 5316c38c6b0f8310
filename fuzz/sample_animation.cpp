#include "sample_animation.h"

#include <cstdio>
#include <cstdlib>

#include "anx_writer.h"

namespace anim::fuzz {
namespace {

// A player-like picture: a body of kit colours 16-23 on colour 0, one
// column narrower on odd phases.
writer::Image PlayerImage(std::int32_t w, std::int32_t h, std::int32_t phase) {
    writer::Image image(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const bool body = x > w / 4 && x < w - w / 4 - (phase & 1) && y > 2;
            image.at(x, y) = body ? static_cast<std::uint8_t>(16 + (y + phase) % 8) : 0;
        }
    return image;
}

writer::NumberOverlay Number() {
    writer::NumberOverlay number;
    number.art = writer::Image(6, 5);
    for (std::size_t i = 0; i < number.art.pixels.size(); ++i)
        number.art.pixels[i] = i % 4 == 0 ? 1 : 246;
    number.left = 3;
    number.top = 5;
    return number;
}

void Require(bool ok, const std::string &error) {
    if (ok) return;
    std::fprintf(stderr, "sample animation: %s\n", error.c_str());
    std::abort();
}

}  // namespace

std::vector<std::uint8_t> SampleAnimation() {
    writer::Writer writer;
    std::vector<writer::Frame> run(3);
    for (std::int32_t k = 0; k < 2; ++k) {
        run[k].image = PlayerImage(12 + 2 * k, 16 - k, k);
        run[k].originX = -6;
        run[k].originY = -16;
        run[k].adjustX = static_cast<std::int16_t>(k);
        run[k].adjustY = static_cast<std::int16_t>(-k);
        run[k].number = Number();
    }
    run[2].repeatOf = 0;
    const writer::Added scalable = writer.AddScalableSequence(run, "run");
    Require(scalable.index == kSampleScalable, scalable.error);

    std::vector<writer::Frame> wave(4);
    for (std::int32_t k = 0; k < 4; ++k) wave[k].image = PlayerImage(10, 9, k);
    writer::DeltaOptions delta;
    delta.keyInterval = 2;
    delta.minRectSize = 2;
    const writer::Added added = writer.AddDeltaSequence(wave, "wave", delta);
    Require(added.index == kSampleDelta, added.error);

    std::vector<std::uint8_t> bytes;
    const writer::Status built = writer.Build(bytes);
    Require(built.ok, built.error);
    return bytes;
}

}  // namespace anim::fuzz
