#include "pack.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <system_error>

#include "animate.h"
#include "bmp_file.h"
#include "file_commit.h"

namespace anxpack {
namespace {

namespace fs = std::filesystem;
using imageio::IndexedImage;

// The decoder's step tables and line buffer hold one row of a picture.
constexpr std::int32_t kMaxScalableSide = 255;

struct InputError {
    std::string text;
};

[[noreturn]] void Fail(std::string text) { throw InputError{std::move(text)}; }

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
    if (std::string e = ReadBmp8(path, sheet.image); !e.empty()) Fail(e);
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

class Loader {
public:
    explicit Loader(const Manifest &m) : manifest_(m) {}

    const Sheet &GetSheet(const std::string &name) {
        const std::string path = Resolve(manifest_, name);
        auto it = sheets_.find(path);
        if (it == sheets_.end()) it = sheets_.emplace(path, LoadSheet(path)).first;
        return it->second;
    }

    std::string Path(const std::string &name) const { return Resolve(manifest_, name); }

    writer::Image Picture(const std::string &name) {
        IndexedImage image;
        if (std::string e = ReadBmp8(Resolve(manifest_, name), image); !e.empty()) Fail(e);
        return ToImage(image);
    }

private:
    const Manifest &manifest_;
    std::map<std::string, Sheet> sheets_;
};

std::vector<writer::Frame> LoadFrames(const ManifestSequence &seq, Loader &loader, const std::string &where,
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
            frames.push_back(std::move(frame));
            if (frameDone) frameDone();
            continue;
        }
        std::string source;
        if (!entry.bmp.empty()) {
            frame.image = loader.Picture(entry.bmp);
            source = loader.Path(entry.bmp);
        } else {
            const Sheet &sheet = loader.GetSheet(seq.sheet);
            frame.image = Cell(sheet, entry.cell, at);
            source = sheet.path + " cell " + std::to_string(entry.cell);
        }
        const std::int32_t w = frame.image.width;
        const std::int32_t h = frame.image.height;
        if (!seq.delta) {
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
        if (!entry.numberBmp.empty() || entry.numberCell >= 0) {
            writer::NumberOverlay overlay;
            overlay.left = entry.numberLeft;
            overlay.top = entry.numberTop;
            std::string number_source;
            if (!entry.numberBmp.empty()) {
                overlay.art = loader.Picture(entry.numberBmp);
                number_source = loader.Path(entry.numberBmp);
            } else {
                const Sheet &sheet = loader.GetSheet(seq.numberSheet);
                overlay.art = Cell(sheet, entry.numberCell, at);
                number_source = sheet.path + " cell " + std::to_string(entry.numberCell);
            }
            if (overlay.left < 0 || overlay.top < 0 || overlay.left + overlay.art.width > w ||
                overlay.top + overlay.art.height > h) {
                Fail(number_source + ": number art of " + std::to_string(overlay.art.width) + "x" +
                     std::to_string(overlay.art.height) + " at (" + std::to_string(overlay.left) +
                     ", " + std::to_string(overlay.top) + ") does not lie inside the " +
                     std::to_string(w) + "x" + std::to_string(h) + " frame (" + at + ")");
            }
            KeepSegmentColours(overlay.art);
            frame.number = std::move(overlay);
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

}  // namespace

PackResult Pack(const Manifest &manifest, const std::string &output, const Progress &progress) {
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
        Loader loader(manifest);
        writer::Writer writer;
        for (std::size_t i = 0; i < manifest.sequences.size(); ++i) {
            const ManifestSequence &seq = manifest.sequences[i];
            const std::string where =
                manifest.path + ": sequence " + std::to_string(i) + " (id " + std::to_string(seq.id) + ")";
            if (seq.delta) WarnOfDeltaAdjusts(seq, where, result.warnings);
            std::vector<writer::Frame> frames = LoadFrames(seq, loader, where, [&] { step(1); });
            writer::SequenceOptions options;
            options.skipArea = EncodeMeta(SequenceMeta{seq.id, seq.name, manifest.team});
            const std::string name = seq.name.empty() ? "id " + std::to_string(seq.id) : seq.name;
            writer::Added added;
            if (seq.delta) {
                writer::DeltaOptions delta;
                delta.keyInterval = seq.keyInterval;
                added = writer.AddDeltaSequence(frames, name, delta, options);
            } else {
                added = writer.AddScalableSequence(frames, name, options);
            }
            if (!added) Fail(where + ": " + added.error);
            result.ids.push_back(seq.id);
            step(static_cast<std::int32_t>(frames.size()));
        }
        std::string failed;
        if (writer::Status written = writer.Write(imageio::TemporaryPathFor(output)); !written) {
            failed = imageio::AbandonFile(output, written.error);
        } else {
            failed = imageio::CommitFile(output);
        }
        if (!failed.empty()) {
            result.failure = PackFailure::kOutput;
            result.error = failed;
            result.ids.clear();
            return result;
        }
        result.stats = writer.stats();
    } catch (const InputError &e) {
        result.failure = PackFailure::kBadInput;
        result.error = e.text;
        result.ids.clear();
    }
    return result;
}

PackResult PackManifest(const std::string &manifestPath, const std::string &output,
                        const Progress &progress) {
    std::string error;
    std::optional<Manifest> manifest = ReadManifest(manifestPath, error);
    if (!manifest) {
        PackResult result;
        result.failure = PackFailure::kBadInput;
        result.error = error;
        return result;
    }
    return Pack(*manifest, output, progress);
}

std::string SummaryTable(const PackResult &result) {
    std::ostringstream out;
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %-14s %-8s %6s %10s %10s %6s %7s\n", "id", "sequence",
                  "kind", "frames", "raw", "stored", "ratio", "markers");
    out << line;
    std::uint64_t raw = 0, stored = 0;
    std::int64_t frames = 0;
    for (std::size_t i = 0; i < result.stats.size(); ++i) {
        const writer::SequenceStats &s = result.stats[i];
        const std::int32_t id = i < result.ids.size() ? result.ids[i] : -1;
        const double ratio = s.storedBytes ? static_cast<double>(s.rawBytes) / static_cast<double>(s.storedBytes) : 0.0;
        std::snprintf(line, sizeof line, "%-8d %-14.14s %-8s %6d %10llu %10llu %5.2fx %7d\n", id,
                      s.name.c_str(), s.delta ? "delta" : "scalable", s.frames,
                      static_cast<unsigned long long>(s.rawBytes),
                      static_cast<unsigned long long>(s.storedBytes), ratio, s.markers);
        out << line;
        raw += s.rawBytes;
        stored += s.storedBytes;
        frames += s.frames;
    }
    const double ratio = stored ? static_cast<double>(raw) / static_cast<double>(stored) : 0.0;
    std::snprintf(line, sizeof line, "%-8s %-14s %-8s %6lld %10llu %10llu %5.2fx\n", "total",
                  (std::to_string(result.stats.size()) + " sequences").c_str(), "",
                  static_cast<long long>(frames), static_cast<unsigned long long>(raw),
                  static_cast<unsigned long long>(stored), ratio);
    out << line;
    return out.str();
}

}  // namespace anxpack
