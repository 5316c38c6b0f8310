// A small multi-animation file made with the project's own writer: the file
// the engine target plays.
//
//   sequence 0, scalable: three frames of two sizes with position adjusts
//     and shirt-number overlays, the third a repeat of the first
//   sequence 1, delta: four frames, a key frame every second one
#pragma once

#include <cstdint>
#include <vector>

namespace anim::fuzz {

inline constexpr std::int32_t kSampleSequences = 2;
inline constexpr std::int32_t kSampleScalable = 0;  // index of the scalable sequence
inline constexpr std::int32_t kSampleDelta = 1;

std::vector<std::uint8_t> SampleAnimation();

}  // namespace anim::fuzz
