// What the packer records about a sequence for the tools that read the file
// later: the game's id, its name and the team colour range. It travels in
// the sequence record's skip area, which the library passes over.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace anxpack {

// Kit colours first..first+count-1 shown shifted by shift for the second
// team (the values for DupKOVRLETableSetup).
struct TeamColours {
    std::uint8_t first = 0;
    std::uint8_t count = 0;
    std::uint8_t shift = 0;
    bool operator==(const TeamColours &) const = default;
};

struct SequenceMeta {
    std::int32_t id = 0;
    std::string name;
    std::optional<TeamColours> team;
    bool operator==(const SequenceMeta &) const = default;
};

std::vector<std::uint8_t> EncodeMeta(const SequenceMeta &meta);
// Nothing when the area does not hold a record of this form.
std::optional<SequenceMeta> DecodeMeta(std::span<const std::uint8_t> area);

}  // namespace anxpack
