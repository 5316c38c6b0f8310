// The match's files: generated art written as 8-bit BMPs with a manifest,
// packed into one multi-animation file with anxpack's library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "art.h"
#include "pack.h"

namespace demo {

// Sequence ids the match plays: a run cycle and a standing pose per view.
constexpr std::int32_t RunId(View v) { return 100 + static_cast<std::int32_t>(v); }
constexpr std::int32_t StandId(View v) { return 200 + static_cast<std::int32_t>(v); }
// A waving flag in the stands, a delta sequence.
inline constexpr std::int32_t kFlagId = 300;

struct Assets {
    std::string folder;
    std::string pitch;     // background BMP
    std::string manifest;  // the packer's manifest
    std::string anim;      // the multi-animation file
    std::vector<std::int32_t> ids;  // LoadMultiAnim's ids, in file order
    anxpack::PackResult packed;
};

// Draws every picture into folder (made if missing), writes the manifest and
// packs it. Returns an empty string on success.
std::string BuildAssets(const std::string &folder, std::uint32_t seed, Assets &assets);

}  // namespace demo
