#include "pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <system_error>

#include "animate.h"
#include "file_commit.h"
#include "picture_file.h"

namespace anxpack {
namespace {

namespace fs = std::filesystem;
using imageio::IndexedImage;

// The decoder's step tables and line buffer hold one row of a picture.
constexpr std::int32_t kMaxScalableSide = 255;

struct InputError {
    std::string text;
};

[[noreturn]] void Fail(const std::string &text) { throw InputError{OneLineText(text)}; }

std::string Resolve(const Manifest &m, const std::string &name) {
    const fs::path p(name);
    return p.is_absolute() || m.folder.empty() ? name : (fs::path(m.folder) / p).string();
}

writer::Image ToImage(const IndexedImage &image) {
    writer::Image out(image.width, image.height);
    out.pixels = image.pixels;
    return out;
}

// A template sheet and its cell size, measured by the library from the marks
// in the cells' top-left corners.
struct Sheet {
    std::string path;
    IndexedImage image;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int32_t across = 0;
    std::int32_t down = 0;
};

Sheet LoadSheet(const std::string &path) {
    Sheet sheet;
    sheet.path = path;
    if (std::string e = ReadPicture(path, sheet.image); !e.empty()) Fail(e);
    BITMAPINFOHEADER *dib = CreateDIB(sheet.image.width, sheet.image.height);
    if (!dib) Fail(path + ": sheet too large to measure");
    for (int y = 0; y < sheet.image.height; ++y) {
        std::memcpy(GetDIBPixelAddress(dib, 0, y), &sheet.image.At(0, y),
                    static_cast<std::size_t>(sheet.image.width));
    }
    POINT steps{};
    GetDIBTemplateNumbers(dib, &steps);
    DeleteDIB(dib);
    if (steps.x < 2 || steps.y < 2 || steps.x > sheet.image.width || steps.y > sheet.image.height) {
        Fail(path + ": no cell grid found (mark each cell's top-left pixel with the colour of the "
                    "sheet's top-left pixel, which must not be 0)");
    }
    sheet.cellWidth = steps.x;
    sheet.cellHeight = steps.y;
    sheet.across = sheet.image.width / steps.x;
    sheet.down = sheet.image.height / steps.y;
    return sheet;
}

writer::Image Cell(const Sheet &sheet, std::int32_t cell, const std::string &where) {
    if (cell >= sheet.across * sheet.down) {
        Fail(where + ": cell " + std::to_string(cell) + " is beyond " + sheet.path + "'s " +
             std::to_string(sheet.across * sheet.down) + " cells of " +
             std::to_string(sheet.cellWidth) + "x" + std::to_string(sheet.cellHeight));
    }
    const std::int32_t left = (cell % sheet.across) * sheet.cellWidth;
    const std::int32_t top = (cell / sheet.across) * sheet.cellHeight;
    writer::Image out(sheet.cellWidth, sheet.cellHeight);
    for (std::int32_t y = 0; y < sheet.cellHeight; ++y) {
        for (std::int32_t x = 0; x < sheet.cellWidth; ++x) out.at(x, y) = sheet.image.At(left + x, top + y);
    }
    out.at(0, 0) = 0;  // the grid mark is not part of the picture
    return out;
}

// Only the segment colours carry meaning in number art; anything else in a
// number picture, grid marks included, is cleared by the library's filter.
void KeepSegmentColours(writer::Image &art) {
    AnxFilterJerseyColors(art.pixels.data(), static_cast<std::uint16_t>(art.width),
                          static_cast<std::uint16_t>(art.height));
}

// What a picture is taken for: its indices are colours in frame art and
// segment classes in number art.
enum class Art { kFrame, kNumber };

// Reads each picture once, and notes for the colour checks which indices of
// each picture the frames use.
class Loader {
public:
    explicit Loader(const Manifest &m) : manifest_(m) {}

    // A picture taken from name: a whole file, or a cell when cell >= 0 (of
    // the sheet name); source receives where it came from.
    writer::Image Take(const std::string &name, std::int32_t cell, Art art,
                       const std::string &where, std::string &source) {
        const std::string path = Resolve(manifest_, name);
        writer::Image image;
        if (cell >= 0) {
            auto it = sheets_.find(path);
            if (it == sheets_.end()) it = sheets_.emplace(path, LoadSheet(path)).first;
            image = Cell(it->second, cell, where);
            source = path + " cell " + std::to_string(cell);
            Note(path, it->second.image.colours, art, image);
        } else {
            IndexedImage picture;
            if (std::string e = ReadPicture(path, picture); !e.empty()) Fail(e);
            image = ToImage(picture);
            source = path;
            Note(path, picture.colours, art, image);
        }
        return image;
    }

    const std::vector<ColourUse> &uses() const { return uses_; }

private:
    void Note(const std::string &path, const imageio::Colours &colours, Art art,
              const writer::Image &image) {
        const bool number = art == Art::kNumber;
        auto it = std::find_if(uses_.begin(), uses_.end(), [&](const ColourUse &u) {
            return u.source == path && u.numberArt == number;
        });
        if (it == uses_.end()) {
            uses_.push_back(ColourUse{path, colours, {}, number});
            it = uses_.end() - 1;
        }
        for (const std::uint8_t p : image.pixels) {
            if (p != 0) it->used.set(p);
        }
    }

    const Manifest &manifest_;
    std::map<std::string, Sheet> sheets_;
    std::vector<ColourUse> uses_;  // in the order the pictures were first taken
};

void CheckFrameSize(const writer::Image &image, bool delta, const std::string &source,
                    const std::string &at) {
    if (delta) return;
    const std::int32_t w = image.width;
    const std::int32_t h = image.height;
    if (w > kMaxScalableSide || h > kMaxScalableSide) {
        Fail(source + ": frame is " + std::to_string(w) + "x" + std::to_string(h) +
             "; scalable frames are at most 255x255 (" + at + ")");
    }
    if (ExpandSize(w, h) > kAnimObjectBufferSize) {
        Fail(source + ": frame is " + std::to_string(w) + "x" + std::to_string(h) +
             " and expands to " + std::to_string(ExpandSize(w, h)) +
             " bytes; a scalable frame must fit the anim object's " +
             std::to_string(kAnimObjectBufferSize) + "-byte buffer (32 + 8 + stride x height) (" +
             at + ")");
    }
}

// The number art of a frame, checked to lie inside it.
writer::NumberOverlay TakeNumber(const ManifestSequence &seq, const ManifestFrame &entry,
                                 const writer::Image &frame, Loader &loader,
                                 const std::string &at) {
    writer::NumberOverlay overlay;
    overlay.left = entry.numberLeft;
    overlay.top = entry.numberTop;
    std::string source;
    overlay.art = entry.numberBmp.empty()
                      ? loader.Take(seq.numberSheet, entry.numberCell, Art::kNumber, at, source)
                      : loader.Take(entry.numberBmp, -1, Art::kNumber, at, source);
    if (overlay.left < 0 || overlay.top < 0 || overlay.left + overlay.art.width > frame.width ||
        overlay.top + overlay.art.height > frame.height) {
        Fail(source + ": number art of " + std::to_string(overlay.art.width) + "x" +
             std::to_string(overlay.art.height) + " at (" + std::to_string(overlay.left) + ", " +
             std::to_string(overlay.top) + ") does not lie inside the " +
             std::to_string(frame.width) + "x" + std::to_string(frame.height) + " frame (" + at +
             ")");
    }
    KeepSegmentColours(overlay.art);
    return overlay;
}

std::vector<writer::Frame> LoadFrames(const ManifestSequence &seq, Loader &loader,
                                      const std::string &where,
                                      const std::function<void()> &frameDone) {
    std::vector<writer::Frame> frames;
    for (std::size_t i = 0; i < seq.frames.size(); ++i) {
        const ManifestFrame &entry = seq.frames[i];
        const std::string at = where + ", frame " + std::to_string(i);
        writer::Frame frame;
        frame.originX = entry.originX.value_or(seq.originX);
        frame.originY = entry.originY.value_or(seq.originY);
        frame.adjustX = static_cast<std::int16_t>(entry.adjustX);
        frame.adjustY = static_cast<std::int16_t>(entry.adjustY);
        if (entry.repeat >= 0) {
            frame.repeatOf = entry.repeat;
        } else {
            std::string source;
            frame.image = entry.bmp.empty()
                              ? loader.Take(seq.sheet, entry.cell, Art::kFrame, at, source)
                              : loader.Take(entry.bmp, -1, Art::kFrame, at, source);
            CheckFrameSize(frame.image, seq.delta, source, at);
            if (!entry.numberBmp.empty() || entry.numberCell >= 0) {
                frame.number = TakeNumber(seq, entry, frame.image, loader, at);
            }
        }
        frames.push_back(std::move(frame));
        if (frameDone) frameDone();
    }
    if (seq.delta) {
        for (std::size_t i = 1; i < frames.size(); ++i) {
            if (frames[i].image.width != frames[0].image.width ||
                frames[i].image.height != frames[0].image.height) {
                Fail(where + ", frame " + std::to_string(i) + ": delta frames must all be " +
                     std::to_string(frames[0].image.width) + "x" + std::to_string(frames[0].image.height));
            }
        }
    }
    return frames;
}

// A delta sequence stores no adjusts: frame 0's is never applied when it
// plays, and every later frame changes frame 0's picture in place.
void WarnOfDeltaAdjusts(const ManifestSequence &seq, const std::string &where,
                        std::vector<std::string> &warnings) {
    for (std::size_t i = 0; i < seq.frames.size(); ++i) {
        const ManifestFrame &entry = seq.frames[i];
        if (entry.adjustX == 0 && entry.adjustY == 0) continue;
        warnings.push_back(where + ", frame " + std::to_string(i) + ": \"adjust\" [" +
                           std::to_string(entry.adjustX) + ", " + std::to_string(entry.adjustY) +
                           "] is ignored: a delta sequence is placed by frame 0's origin alone");
    }
}

std::string Where(const Manifest &manifest, std::size_t i) {
    return manifest.path + ": sequence " + std::to_string(i) + " (id " +
           std::to_string(manifest.sequences[i].id) + ")";
}

// Warns of art whose colours will show wrong; under strict, refuses it.
void CheckArtColours(const Manifest &manifest, const Loader &loader, const PackOptions &options,
                     std::vector<std::string> &warnings) {
    const std::vector<ColourUse> &uses = loader.uses();
    const auto first =
        std::find_if(uses.begin(), uses.end(), [](const ColourUse &u) { return !u.numberArt; });
    if (first == uses.end()) return;
    const ColourReference reference =
        options.palette.value_or(ColourReference{first->source, first->colours});
    // The display's colours are asked for only when art uses them: the
    // library's display is not touched by a pack that has no need of it.
    const bool anyStatic = std::any_of(uses.begin(), uses.end(), [](const ColourUse &u) {
        for (int i = 1; i < kPaletteSize; ++i) {
            if (!u.numberArt && IsStaticIndex(i) && u.used[static_cast<std::size_t>(i)])
                return true;
        }
        return false;
    });
    const std::vector<std::string> lines =
        CheckColours(uses, reference, anyStatic ? DisplayColours() : imageio::Colours{});
    warnings.insert(warnings.end(), lines.begin(), lines.end());
    if (options.strict && !lines.empty()) {
        Fail(manifest.path + ": " + std::to_string(lines.size()) + " colour warning" +
             (lines.size() == 1 ? "" : "s") + ", refused under --strict");
    }
}

// Codes the loaded sequences and writes the file; the failure, or kNone.
PackFailure Encode(const Manifest &manifest, const std::vector<std::vector<writer::Frame>> &loaded,
                   const std::string &output, const std::function<void(std::int32_t)> &step,
                   PackResult &result) {
    writer::Writer writer;
    for (std::size_t i = 0; i < manifest.sequences.size(); ++i) {
        const ManifestSequence &seq = manifest.sequences[i];
        writer::SequenceOptions options;
        options.skipArea = EncodeMeta(SequenceMeta{seq.id, seq.name, manifest.team});
        const std::string name = seq.name.empty() ? "id " + std::to_string(seq.id) : seq.name;
        writer::Added added;
        if (seq.delta) {
            writer::DeltaOptions delta;
            delta.keyInterval = seq.keyInterval;
            added = writer.AddDeltaSequence(loaded[i], name, delta, options);
        } else {
            added = writer.AddScalableSequence(loaded[i], name, options);
        }
        if (!added) Fail(Where(manifest, i) + ": " + added.error);
        result.ids.push_back(seq.id);
        step(static_cast<std::int32_t>(loaded[i].size()));
    }
    std::string failed;
    if (writer::Status written = writer.Write(imageio::TemporaryPathFor(output)); !written) {
        failed = imageio::AbandonFile(output, written.error);
    } else {
        failed = imageio::CommitFile(output);
    }
    if (!failed.empty()) {
        result.error = OneLineText(failed);
        return PackFailure::kOutput;
    }
    result.stats = writer.stats();
    return PackFailure::kNone;
}

}  // namespace

PackResult Pack(const Manifest &manifest, const std::string &output, const Progress &progress,
                const PackOptions &options) {
    PackResult result;
    std::int32_t total = 0;
    for (const ManifestSequence &seq : manifest.sequences) total += static_cast<std::int32_t>(seq.frames.size());
    // Reading a frame is the first half of its work, coding it the second.
    const std::int32_t steps = 2 * total;
    std::int32_t done = 0;
    auto step = [&](std::int32_t n) {
        done += n;
        if (progress) progress(done, steps);
    };
    try {
        // Every picture is read and checked before any is coded, so that a
        // refusal comes before the slow part.
        Loader loader(manifest);
        std::vector<std::vector<writer::Frame>> loaded;
        for (std::size_t i = 0; i < manifest.sequences.size(); ++i) {
            const ManifestSequence &seq = manifest.sequences[i];
            if (seq.delta) WarnOfDeltaAdjusts(seq, Where(manifest, i), result.warnings);
            loaded.push_back(LoadFrames(seq, loader, Where(manifest, i), [&] { step(1); }));
        }
        CheckArtColours(manifest, loader, options, result.warnings);
        result.failure = Encode(manifest, loaded, output, step, result);
    } catch (const InputError &e) {
        result.failure = PackFailure::kBadInput;
        result.error = e.text;
    }
    if (!result) result.ids.clear();
    return result;
}

PackResult PackManifest(const std::string &manifestPath, const std::string &output,
                        const Progress &progress, const PackOptions &options) {
    std::string error;
    std::optional<Manifest> manifest = ReadManifest(manifestPath, error);
    if (!manifest) {
        PackResult result;
        result.failure = PackFailure::kBadInput;
        result.error = error;
        return result;
    }
    return Pack(*manifest, output, progress, options);
}

double Ratio(std::uint64_t raw, std::uint64_t stored) {
    return stored != 0 ? static_cast<double>(raw) / static_cast<double>(stored) : 0.0;
}

int NameWidth(const std::vector<std::string> &names) {
    std::size_t width = kMinNameWidth;
    for (const std::string &name : names) width = std::max(width, name.size());
    return static_cast<int>(width);
}

std::string SummaryTable(const PackResult &result) {
    std::vector<std::string> names;
    for (const writer::SequenceStats &s : result.stats) names.push_back(s.name);
    const int width = NameWidth(names);
    std::ostringstream out;
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %-*s %-8s %6s %10s %10s %6s %7s\n", "id", width,
                  "sequence", "kind", "frames", "raw", "stored", "ratio", "markers");
    out << line;
    std::uint64_t raw = 0, stored = 0;
    std::int64_t frames = 0;
    for (std::size_t i = 0; i < result.stats.size(); ++i) {
        const writer::SequenceStats &s = result.stats[i];
        const std::int32_t id = i < result.ids.size() ? result.ids[i] : -1;
        std::snprintf(line, sizeof line, "%-8d ", id);
        out << line << s.name << std::string(static_cast<std::size_t>(width) - s.name.size(), ' ');
        std::snprintf(line, sizeof line, " %-8s %6d %10llu %10llu %5.2fx %7d\n",
                      s.delta ? "delta" : "scalable", s.frames,
                      static_cast<unsigned long long>(s.rawBytes),
                      static_cast<unsigned long long>(s.storedBytes),
                      Ratio(s.rawBytes, s.storedBytes), s.markers);
        out << line;
        raw += s.rawBytes;
        stored += s.storedBytes;
        frames += s.frames;
    }
    std::snprintf(line, sizeof line, "%-8s %-*s %-8s %6lld %10llu %10llu %5.2fx\n", "total", width,
                  (std::to_string(result.stats.size()) + " sequences").c_str(), "",
                  static_cast<long long>(frames), static_cast<unsigned long long>(raw),
                  static_cast<unsigned long long>(stored), Ratio(raw, stored));
    out << line;
    return out.str();
}

}  // namespace anxpack
