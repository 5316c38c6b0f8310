// The target table: every body this build holds, by the name its program,
// corpus, regressions and dictionary use.
#include "targets.h"

#include <string_view>

namespace anim::fuzz {
namespace {

// clang-format off
constexpr Target kTargets[] = {
    {"dib_file", &DibFileTarget},
    {"frame_decode", &FrameDecodeTarget},
    {"encode", &EncodeTarget},
    {"find_rects", &FindRectsTarget},
    {"multi_anim", &MultiAnimTarget},
    {"engine", &EngineTarget},
#ifdef ANIMATE_FUZZ_TOOLS
    {"anx_inspect", &AnxInspectTarget},
    {"pack_bmp", &PackBmpTarget},
    {"manifest", &ManifestTarget},
    {"png_read", &PngReadTarget},
#endif
};
// clang-format on

}  // namespace

const Target *FindTarget(const char *name) {
    for (const Target &t : kTargets) {
        if (std::string_view(t.name) == name) return &t;
    }
    return nullptr;
}

}  // namespace anim::fuzz
