// The packer's manifests from anywhere: a bad manifest, or one naming a bad
// picture, is one clear line of error and leaves no file behind; a good one
// packs into a file that the inspector finds sound and the library loads
// and plays.
//
//   input := manifest text (JSON)
//
// The manifest stands in a scratch folder of the process's own beside a
// fixed set of pictures: sheets with and without a cell grid, number art,
// whole frames of several sizes and a 24-bit picture (kPictures). A
// manifest is packed only when every file it names is a plain name in that
// folder, so that nothing outside it is read or written; the others are
// parsed and checked alone.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "animate.h"
#include "anx_file.h"
#include "bmp_file.h"
#include "fuzz_support.h"
#include "manifest.h"
#include "pack.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr char kOutput[] = "out.anx";
constexpr std::uint8_t kMark = 255;  // each sheet cell's top-left pixel
constexpr std::int32_t kCellWidth = 12;
constexpr std::int32_t kCellHeight = 16;

template <typename Fill>
imageio::IndexedImage Filled(std::int32_t w, std::int32_t h, Fill fill) {
    imageio::IndexedImage image(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) image.At(x, y) = static_cast<std::uint8_t>(fill(x, y));
    return image;
}

imageio::IndexedImage Art(std::int32_t w, std::int32_t h, std::int32_t seed) {
    return Filled(w, h, [seed](std::int32_t x, std::int32_t y) {
        const std::int32_t v = (x * 3 + y * 5 + seed) % 23;
        return v < 6 ? 0 : 16 + v;
    });
}

// 3 x 2 cells with the grid mark in each top-left corner, filled by
// fill(x, y) elsewhere.
template <typename Fill>
imageio::IndexedImage Sheet(Fill fill) {
    return Filled(3 * kCellWidth, 2 * kCellHeight, [&](std::int32_t x, std::int32_t y) {
        return x % kCellWidth == 0 && y % kCellHeight == 0 ? kMark : fill(x, y);
    });
}

std::uint8_t Segment(std::int32_t i) {
    return kSegmentColours[static_cast<std::size_t>(i) % std::size(kSegmentColours)];
}

std::set<std::string> FolderNow() {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(ScratchFolder())) names.insert(entry.path().filename());
    return names;
}

// The pictures a manifest can name, made once; the names are in the
// target's dictionary.
const std::set<std::string> &Pictures() {
    static const std::set<std::string> names = [] {
        const std::pair<const char *, imageio::IndexedImage> pictures[] = {
            {"sheet.bmp", Sheet([](std::int32_t x, std::int32_t y) {
                 return static_cast<std::uint8_t>((x / 2 + y) % 5 == 0 ? 0 : 16 + (x + y) % 8);
             })},
            {"numbers.bmp", Sheet([](std::int32_t x, std::int32_t y) { return Segment(x + 2 * y); })},
            {"nogrid.bmp", Art(24, 16, 0)},
            {"a.bmp", Art(10, 12, 1)},
            {"b.bmp", Art(10, 12, 2)},
            {"odd.bmp", Art(7, 3, 3)},
            {"digit.bmp", Filled(6, 5, [](std::int32_t x, std::int32_t y) { return Segment(x + 6 * y); })},
            {"wide.bmp", Art(256, 2, 4)},
            {"big.bmp", Art(101, 100, 5)}};
        for (const auto &[name, image] : pictures)
            FUZZ_CHECK(anxpack::WriteBmp8((ScratchFolder() / name).string(), image).empty());
        // A 24-bit picture: a form the packer refuses.
        const std::uint8_t deep[] = {'B', 'M', 70, 0, 0,  0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,  2,  0,  0, 0, 2, 0,
                                     0,   0,   1,  0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0,  0, 0, 0,  0,  0,  0, 0, 0, 0,
                                     0,   0,   0,  0, 0,  0, 1, 2, 3, 4, 5,  6, 0, 0, 7,  8, 9, 10, 11, 12, 0, 0};
        ScratchFile("deep.bmp", deep);
        return FolderNow();
    }();
    return names;
}

// Whether every file the manifest names stays in the folder: no path at all.
bool Confined(const anxpack::Manifest &m) {
    auto plain = [](const std::string &name) {
        return name.find('/') == std::string::npos && name != "." && name != "..";
    };
    for (const anxpack::ManifestSequence &seq : m.sequences) {
        if (!plain(seq.sheet) || !plain(seq.numberSheet)) return false;
        for (const anxpack::ManifestFrame &f : seq.frames)
            if (!plain(f.bmp) || !plain(f.numberBmp)) return false;
    }
    return true;
}

// One clear line, about a file of the folder.
void CheckError(const std::string &error) {
    FUZZ_CHECK(OneLine(error, ScratchFolder().string() + "/"));
}

// The packed file, read by the inspector and played by the library.
void CheckPacked(const anxpack::Manifest &m, const anxpack::PackResult &result, const std::string &path) {
    std::vector<std::int32_t> ids;
    for (const anxpack::ManifestSequence &seq : m.sequences) ids.push_back(seq.id);
    FUZZ_CHECK(result.ids == ids && result.stats.size() == ids.size());

    std::string error;
    const auto file = anxinfo::ReadAnxFile(path, error);
    FUZZ_CHECK(file && file->problems.empty() && file->sequences.size() == ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto &meta = file->sequences[i].meta;
        FUZZ_CHECK(meta && meta->id == ids[i] && meta->team == m.team);
    }

    EngineState *engine = InitAnimate();
    const auto count = static_cast<std::int32_t>(ids.size());
    FUZZ_CHECK(engine != nullptr && InitProjector(engine, 1, count, 1) == 1);
    if (m.team) DupKOVRLETableSetup(engine, m.team->first, m.team->count, m.team->shift);
    const std::int32_t handle = LoadMultiAnim(engine, path.c_str(), ids.data(), count, 2, ANIM_LOAD_PLAYER_NUMBERS);
    FUZZ_CHECK(handle >= 0);
    const std::int32_t object = GetAnimObject(engine);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        FUZZ_CHECK(SetAnimObjectAnim(engine, object, ids[i], 1, 0) == 1);
        const std::int32_t frames = static_cast<std::int32_t>(m.sequences[i].frames.size());
        FUZZ_CHECK(FrameCount(engine, object) == frames);
        for (std::int32_t k = 0; k < frames; ++k) FUZZ_CHECK(ProjectFrame(engine, object, 20, 30, 1) == 1);
    }
    SetAnimObjectAnim(engine, object, -1, 0, 0);
    FUZZ_CHECK(DestroyMultiAnim(engine, handle) == 1);
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);
}

}  // namespace

int ManifestTarget(const std::uint8_t *data, std::size_t size) {
    const std::set<std::string> &pictures = Pictures();
    BlockBalance balance;
    const std::string manifestPath = (ScratchFolder() / "manifest.json").string();
    const std::string text(reinterpret_cast<const char *>(data), size);

    std::string error;
    const std::optional<anxpack::Manifest> manifest = anxpack::ParseManifest(text, manifestPath, error);
    if (!manifest) {
        CheckError(error);
        return 0;
    }
    FUZZ_CHECK(!manifest->sequences.empty());
    if (!Confined(*manifest)) return 0;

    const std::string output = (ScratchFolder() / kOutput).string();
    const anxpack::PackResult result = anxpack::Pack(*manifest, output);
    std::set<std::string> expected = pictures;
    if (result) expected.insert(kOutput);
    FUZZ_CHECK(FolderNow() == expected);
    if (!result) {
        FUZZ_CHECK(result.failure == anxpack::PackFailure::kBadInput);
        CheckError(result.error);
        return 0;
    }
    CheckPacked(*manifest, result, output);
    fs::remove(output);
    return 0;
}

}  // namespace anim::fuzz
