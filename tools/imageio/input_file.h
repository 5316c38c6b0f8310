// Input files of the tools, read whole. Only a regular file is read: a
// folder, a fifo or a device given where a picture, manifest or
// multi-animation file belongs is refused at once rather than thrown over
// or waited on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

// The most a tool reads of one input: far beyond any sprite sheet or
// multi-animation file, and small enough that a mistaken path to a disk
// image is refused instead of filling memory.
inline constexpr std::uint64_t kMaxInputSize = 512ull << 20;

// Reads the regular file at path into bytes. Empty text on success, else
// "path: reason" on one line (bytes then empty).
std::string ReadInputFile(const std::string &path, std::vector<std::uint8_t> &bytes);

}  // namespace imageio
