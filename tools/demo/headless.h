// Plays the match without a display, recording it as an animated GIF, its
// last picture as a PNG and per-frame paint figures.
#pragma once

#include <string>

#include "match.h"

namespace demo {

struct HeadlessOptions {
    int frames = 300;
    std::string gif;         // empty: no GIF
    std::string lastFrame;   // empty: no PNG
    std::string frameLog;    // CSV of the per-frame figures; empty: none
    bool stillPaletteStep = false;  // one more palette step after the last frame
};

// What the summary needs of the frames played, added up as they go: a run
// of any length holds no per-frame record (those go to the frame log).
struct FrameTotals {
    int frames = 0;
    int painted = 0;  // frames other than the half-time wipe
    double paintMs = 0, paintMostMs = 0, moveMs = 0, wipeMs = 0;
    long long rects = 0;
    int rectsMost = 0;
    unsigned long long composeMs = 0, copyMs = 0;

    void Add(const FrameStats &f);
};

struct HeadlessResult {
    std::string error;
    FrameTotals totals;
    int gifFrames = 0;
};

HeadlessResult PlayHeadless(Match &match, const HeadlessOptions &options);

}  // namespace demo
