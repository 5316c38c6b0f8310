// Plays the match live in a desktop window.
#pragma once

#include <string>

#include "match.h"

namespace demo {

struct LiveOptions {
    int frames = 0;          // stop after this many; 0 plays the whole match
    std::string screenshot;  // PNG of what the window presented last, or empty
};

// Returns an empty string when the window ran (and was closed or finished).
std::string PlayLive(Match &match, const LiveOptions &options);

}  // namespace demo
