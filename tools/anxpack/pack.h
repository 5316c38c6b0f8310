// Turning a manifest into a multi-animation file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "anx_writer.h"
#include "colour_check.h"
#include "manifest.h"
#include "platform/geometry.h"

namespace anxpack {

// Room an anim object has to expand one frame of a scalable sequence:
// header, one rectangle entry and the rows of a 100 x 100 picture.
inline constexpr std::uint32_t kAnimObjectBufferSize = 10040;
inline constexpr std::uint32_t kFrameHeaderSize = 32;
inline constexpr std::uint32_t kRectEntrySize = 8;

// Bytes one frame of width x height needs to be expanded.
constexpr std::uint32_t ExpandSize(std::int32_t width, std::int32_t height) {
    const auto stride = static_cast<std::uint32_t>(anim::platform::RowStride(width));
    return kFrameHeaderSize + kRectEntrySize + stride * static_cast<std::uint32_t>(height);
}

enum class PackFailure {
    kNone,
    kBadInput,  // the manifest or a picture it names is wrong: the user's to fix
    kOutput,    // the file could not be written
};

struct PackResult {
    PackFailure failure = PackFailure::kNone;
    std::string error;
    std::vector<writer::SequenceStats> stats;  // one per sequence, in file order
    std::vector<std::int32_t> ids;          // the ids to pass to LoadMultiAnim
    // What the manifest asks for that the file cannot carry, and art whose
    // colours will show wrong (colour_check.h), one line each naming the
    // manifest or the picture; the pack goes on without it, unless strict.
    std::vector<std::string> warnings;
    explicit operator bool() const { return failure == PackFailure::kNone; }
};

// Called after each frame is read and after each sequence is coded, with the
// frames done so far and the total.
using Progress = std::function<void(std::int32_t done, std::int32_t total)>;

struct PackOptions {
    // The colours every frame's picture is compared with; by default the
    // picture of the manifest's first frame.
    std::optional<ColourReference> palette;
    // Art whose colours will show wrong refuses the pack (its lines are in
    // the warnings) instead of only being warned of.
    bool strict = false;
};

// Reads every picture the manifest names, checks their colours, codes the
// sequences and writes the file to output (under a temporary name first: a
// failure leaves no file).
PackResult Pack(const Manifest &manifest, const std::string &output, const Progress &progress = {},
                const PackOptions &options = {});
// ReadManifest, then Pack.
PackResult PackManifest(const std::string &manifestPath, const std::string &output,
                        const Progress &progress = {}, const PackOptions &options = {});

// The summary printed at the end of a run: one row a sequence, then totals.
std::string SummaryTable(const PackResult &result);

// How the tools state a sequence's cost, so that anxpack and anxinfo agree:
// raw is the frame blocks expanded, stored the bytes of its records in the
// file (its sequence record and its number record); the ratio is raw /
// stored, 0 when nothing is stored.
double Ratio(std::uint64_t raw, std::uint64_t stored);
// The sequence names' column: as wide as the longest name, names never cut.
inline constexpr int kMinNameWidth = 14;
int NameWidth(const std::vector<std::string> &names);

}  // namespace anxpack
