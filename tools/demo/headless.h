// Plays the match without a display, recording it as an animated GIF, its
// last picture as a PNG and per-frame paint figures.
#pragma once

#include <string>
#include <vector>

#include "match.h"

namespace demo {

struct HeadlessOptions {
    int frames = 300;
    std::string gif;         // empty: no GIF
    std::string lastFrame;   // empty: no PNG
    std::string frameLog;    // CSV of the per-frame figures; empty: none
    bool stillPaletteStep = false;  // one more palette step after the last frame
};

struct HeadlessResult {
    std::string error;
    std::vector<FrameStats> frames;
    int gifFrames = 0;
};

HeadlessResult PlayHeadless(Match &match, const HeadlessOptions &options);

}  // namespace demo
