// Plays the match live in a desktop window.
#pragma once

#include <string>

#include "match.h"

namespace demo {

struct LiveOptions {
    int frames = 0;                 // stop after this many; 0 plays until Esc or close
    bool stillPaletteStep = false;  // then one palette step with nothing moving
    bool hold = false;              // then keep the picture up until Esc or close
    bool quiet = false;             // print nothing but errors
};

// Returns an empty string when the window ran (and was closed or finished).
std::string PlayLive(Match &match, const LiveOptions &options);

}  // namespace demo
