#include "assets.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "bmp_file.h"
#include "game_palette.h"

namespace demo {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json Sequence(View view, bool run) {
    const int v = static_cast<int>(view);
    json seq;
    seq["id"] = run ? RunId(view) : StandId(view);
    static const char *const kViewNames[kViewCount] = {"front", "front_right", "right", "back_right",
                                                       "back"};
    seq["name"] = std::string(run ? "run_" : "stand_") + kViewNames[v];
    seq["kind"] = "scalable";
    seq["sheet"] = "players.bmp";
    if (ViewHasNumber(view)) seq["number_sheet"] = "numbers.bmp";
    seq["origin"] = {-kFootX, -kFootY};
    json frames = json::array();
    const int first = v * kPosesPerView;
    if (run) {
        // Stride, pass (body up a pixel), other stride, pass again.
        frames.push_back({{"cell", first + 0}});
        frames.push_back({{"cell", first + 1}, {"adjust", {0, -1}}});
        frames.push_back({{"cell", first + 2}});
        frames.push_back({{"repeat", 1}});
    } else {
        frames.push_back({{"cell", first + kStandPose}});
    }
    seq["frames"] = frames;
    return seq;
}

}  // namespace

std::string BuildAssets(const std::string &folder, std::uint32_t seed, Assets &assets) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return folder + ": " + ec.message();
    assets.folder = folder;
    assets.pitch = (fs::path(folder) / "pitch.bmp").string();
    assets.manifest = (fs::path(folder) / "match.json").string();
    assets.anim = (fs::path(folder) / "players.anx").string();

    if (auto e = anxpack::WriteBmp8(assets.pitch, DrawPitch(seed)); !e.empty()) return e;
    if (auto e = anxpack::WriteBmp8((fs::path(folder) / "players.bmp").string(), DrawPlayerSheet()); !e.empty()) {
        return e;
    }
    if (auto e = anxpack::WriteBmp8((fs::path(folder) / "numbers.bmp").string(), DrawNumberSheet()); !e.empty()) {
        return e;
    }

    json flag_frames = json::array();
    for (int k = 0; k < kFlagFrames; ++k) {
        const std::string name = "flag" + std::to_string(k) + ".bmp";
        if (auto e = anxpack::WriteBmp8((fs::path(folder) / name).string(), DrawFlag(k)); !e.empty()) return e;
        flag_frames.push_back({{"bmp", name}});
    }

    json manifest;
    manifest["team_colours"] = {{"first", kKitA}, {"count", kKitCount}, {"shift", kKitCount}};
    json sequences = json::array();
    for (int v = 0; v < kViewCount; ++v) sequences.push_back(Sequence(static_cast<View>(v), true));
    for (int v = 0; v < kViewCount; ++v) sequences.push_back(Sequence(static_cast<View>(v), false));
    sequences.push_back({{"id", kFlagId}, {"name", "flag"}, {"kind", "delta"}, {"key_interval", 4},
                         {"frames", flag_frames}});
    manifest["sequences"] = sequences;
    {
        std::ofstream out(assets.manifest, std::ios::trunc);
        out << manifest.dump(2) << "\n";
        if (!out) return assets.manifest + ": write failed";
    }
    assets.packed = anxpack::PackManifest(assets.manifest, assets.anim);
    if (!assets.packed) return assets.packed.error;
    assets.ids = assets.packed.ids;
    return {};
}

}  // namespace demo
