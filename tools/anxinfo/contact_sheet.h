// Every frame of every sequence of a multi-animation file drawn side by
// side, decoded by the library itself: a row per sequence (two with both
// team colours, for a scalable sequence), each labelled with the
// sequence's id and name, shirt numbers painted where the file carries
// them. Index 0 is the background: written transparent.
#pragma once

#include <optional>
#include <string>

#include "anx_file.h"
#include "indexed_image.h"

namespace anxinfo {

struct SheetOptions {
    bool teams = false;  // a second row per scalable sequence in the second kit
    std::optional<anxpack::TeamColours> teamColours;  // else from the file's notes
    int number = 10;                 // shirt number shown, 0-99
    std::uint8_t numberColours[2] = {255, 251};
    std::uint8_t background = 0;
    imageio::Colours colours{};
};

// Draws the sheet; frames that cannot be decoded safely are left empty and
// named in problems.
imageio::IndexedImage DrawContactSheet(const AnxFile &file, const SheetOptions &options,
                                         std::vector<std::string> &problems);

}  // namespace anxinfo
