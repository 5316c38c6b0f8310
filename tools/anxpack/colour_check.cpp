#include "colour_check.h"

#include "animate.h"
#include "animate/engine_state.h"

namespace anxpack {
namespace {

// Lines about one file before the rest are counted in one more line: a
// picture saved with a different palette differs at every index it uses.
constexpr int kMaxLinesPerFile = 4;

std::string Text(const imageio::Rgb &c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

void CheckOne(const ColourUse &use, const ColourReference &reference,
              const imageio::Colours &display, std::vector<std::string> &lines) {
    int listed = 0;
    int more = 0;
    for (int i = 1; i < kPaletteSize; ++i) {
        if (!use.used[static_cast<std::size_t>(i)]) continue;
        const imageio::Rgb here = use.colours[static_cast<std::size_t>(i)];
        std::string line;
        if (IsStaticIndex(i)) {
            line = use.source + ": index " + std::to_string(i) +
                   " is one of the display's own colours (1-9, 246-255): " +
                   "the game shows the display's " + Text(display[static_cast<std::size_t>(i)]) +
                   " there, not this picture's " + Text(here);
        } else if (const imageio::Rgb want = reference.colours[static_cast<std::size_t>(i)];
                   here != want) {
            line = use.source + ": index " + std::to_string(i) + " is " + Text(here) +
                   " here but " + Text(want) + " in " + reference.source +
                   ", whose colours the frames are compared with";
        } else {
            continue;
        }
        if (listed < kMaxLinesPerFile) {
            lines.push_back(std::move(line));
            ++listed;
        } else {
            ++more;
        }
    }
    if (more > 0) {
        lines.push_back(use.source + ": and " + std::to_string(more) + " more " +
                        (more == 1 ? "index" : "indices") + " like these");
    }
}

}  // namespace

std::vector<std::string> CheckColours(const std::vector<ColourUse> &uses,
                                      const ColourReference &reference,
                                      const imageio::Colours &display) {
    std::vector<std::string> lines;
    for (const ColourUse &use : uses) {
        if (!use.numberArt) CheckOne(use, reference, display, lines);
    }
    return lines;
}

imageio::Colours DisplayColours() {
    imageio::Colours colours{};
    EngineState *engine = InitAnimate();
    if (engine == nullptr) return colours;
    for (int i = 0; i < kPaletteSize; ++i) {
        if (!IsStaticIndex(i)) continue;
        const RGBQUAD &q = engine->masterColors[i];
        colours[static_cast<std::size_t>(i)] = imageio::Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    TerminateAnimate(engine);
    FREE(engine);
    return colours;
}

}  // namespace anxpack
