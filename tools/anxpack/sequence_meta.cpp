/*
 * Sequence notes in a skip area.
 *
 * Byte grammar (little-endian):
 *
 *   notes := "ANXM" u8 version (1) i32 id
 *            u8 has-team u8 first u8 count u8 shift
 *            u8 name-length name-length bytes of name
 */
#include "sequence_meta.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace anxpack {
namespace {

constexpr std::array<std::uint8_t, 4> kTag = {'A', 'N', 'X', 'M'};
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kFixedSize = 4 + 1 + 4 + 4 + 1;
constexpr std::size_t kMaxName = 255;

}  // namespace

std::vector<std::uint8_t> EncodeMeta(const SequenceMeta &meta) {
    std::vector<std::uint8_t> out(kTag.begin(), kTag.end());
    out.push_back(kVersion);
    const auto id = static_cast<std::uint32_t>(meta.id);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
    const TeamColours team = meta.team.value_or(TeamColours{});
    out.push_back(meta.team ? 1 : 0);
    out.push_back(team.first);
    out.push_back(team.count);
    out.push_back(team.shift);
    const std::size_t length = std::min(meta.name.size(), kMaxName);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), meta.name.begin(), meta.name.begin() + static_cast<std::ptrdiff_t>(length));
    return out;
}

std::optional<SequenceMeta> DecodeMeta(std::span<const std::uint8_t> area) {
    if (area.size() < kFixedSize || !std::equal(kTag.begin(), kTag.end(), area.begin()) ||
        area[4] != kVersion) {
        return std::nullopt;
    }
    SequenceMeta meta;
    const std::uint32_t id = static_cast<std::uint32_t>(area[5]) | static_cast<std::uint32_t>(area[6]) << 8 |
                             static_cast<std::uint32_t>(area[7]) << 16 |
                             static_cast<std::uint32_t>(area[8]) << 24;
    meta.id = static_cast<std::int32_t>(id);
    if (area[9]) meta.team = TeamColours{area[10], area[11], area[12]};
    const std::size_t length = area[13];
    if (area.size() < kFixedSize + length) return std::nullopt;
    meta.name.assign(area.begin() + kFixedSize, area.begin() + static_cast<std::ptrdiff_t>(kFixedSize + length));
    return meta;
}

}  // namespace anxpack
