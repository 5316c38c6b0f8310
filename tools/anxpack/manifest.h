// The packer's manifest: a JSON file naming the sequences of one
// multi-animation file and where their frames come from.
//
//   {
//     "team_colours": {"first": 70, "count": 8, "shift": 8},
//     "sequences": [
//       {"id": 100, "name": "run_e", "kind": "scalable",
//        "sheet": "players.bmp", "number_sheet": "numbers.bmp",
//        "origin": [-20, -56],
//        "frames": [{"cell": 0}, {"cell": 1, "adjust": [0, -1]}, {"repeat": 0}]},
//       {"id": 300, "kind": "delta", "key_interval": 8,
//        "frames": [{"bmp": "wave0.bmp"}, {"bmp": "wave1.bmp"}]}
//     ]
//   }
//
// File names are relative to the manifest's folder; each names a picture,
// a palette BMP or an indexed PNG whatever the name says (picture_file.h).
// A frame is a whole picture ("bmp"), a cell of the sequence's sheet
// ("cell", cells counted across then down; the sheet's cell size is
// measured from the marks in each cell's top-left corner, which are
// cleared), or a repeat of another frame of the sequence ("repeat"). Frames may carry a position adjust ("adjust"; a delta
// sequence stores none, and the packer warns of those it ignores), their
// own origin ("origin", else the sequence's), and a number overlay: "number"
// (a picture) or "number_cell" (a cell of "number_sheet"; by default the frame's
// own cell), placed at "number_at" (default [0, 0]).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sequence_meta.h"

namespace anxpack {

struct ManifestFrame {
    std::string bmp;            // a whole picture, or
    std::int32_t cell = -1;     // a cell of the sheet, or
    std::int32_t repeat = -1;   // a repeat of this frame of the sequence
    std::int32_t adjustX = 0;
    std::int32_t adjustY = 0;
    std::optional<std::int32_t> originX;
    std::optional<std::int32_t> originY;
    std::string numberBmp;
    std::int32_t numberCell = -1;
    std::int32_t numberLeft = 0;
    std::int32_t numberTop = 0;
};

struct ManifestSequence {
    std::int32_t id = 0;
    std::string name;
    bool delta = false;
    std::string sheet;
    std::string numberSheet;
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    std::int32_t keyInterval = 0;
    std::vector<ManifestFrame> frames;
};

struct Manifest {
    std::string path;    // the manifest file itself
    std::string folder;  // where its file names start from
    std::optional<TeamColours> team;
    std::vector<ManifestSequence> sequences;
};

// Parses and checks a manifest (structure, kinds, ids unique and not -1,
// repeats pointing at real frames). On failure returns nothing and sets
// error to one line naming the file and the problem.
std::optional<Manifest> ReadManifest(const std::string &path, std::string &error);

// The same from text already in memory (path names it in messages).
std::optional<Manifest> ParseManifest(const std::string &text, const std::string &path,
                                      std::string &error);

// text with its control characters written as \xNN: a name from a manifest
// can hold a line break, and an error about it must stay one line.
std::string OneLineText(const std::string &text);

}  // namespace anxpack
