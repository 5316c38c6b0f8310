// Multi-animation file writer. The file's grammar and layout are in
// projector/container.h, which the loader reads through too; the writer
// fills the fields readers skip with 0 and keeps each block's length in the
// length arrays, for tools that list a file.
//
// What it writes in the grammar's frames: a scalable frame is one
// rectangle coded line by line; a delta frame is coded whole-frame with its
// key colour in byte 10 (0 on a key frame); a repeat is a bare header. A
// repeat frame's overlay entry is that of the frame it stands for.
#include "anx_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "animate.h"
#include "dib/anx_frame.h"
#include "platform/geometry.h"
#include "platform/platform.h"
#include "projector/container.h"

namespace writer {
namespace {

namespace layout = anim::projector;
using layout::AppendLe;

constexpr std::int32_t kMaxScalableSide = 255;
constexpr std::int32_t kMaxFrames = INT16_MAX;

struct DibDeleter {
    void operator()(BITMAPINFOHEADER *dib) const { DeleteDIB(dib); }
};
struct FrameDeleter {
    void operator()(ANXFRAME *frame) const { DeleteAnxFrame(frame); }
};
using DibPtr = std::unique_ptr<BITMAPINFOHEADER, DibDeleter>;
using FramePtr = std::unique_ptr<ANXFRAME, FrameDeleter>;

bool ImageValid(const Image &image, std::int32_t maxSide) {
    return image.width >= 1 && image.height >= 1 && image.width <= maxSide &&
           image.height <= maxSide &&
           image.pixels.size() ==
               static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

// The rectangle fields are 16-bit.
bool RectFits(std::int32_t left, std::int32_t top, const Image &image) {
    return left >= INT16_MIN && top >= INT16_MIN &&
           std::int64_t{left} + image.width - 1 <= INT16_MAX &&
           std::int64_t{top} + image.height - 1 <= INT16_MAX;
}

DibPtr MakeDib(const Image &image) {
    DibPtr dib(CreateDIB(image.width, image.height));
    if (!dib) return dib;
    for (std::int32_t y = 0; y < image.height; ++y) {
        std::memcpy(GetDIBPixelAddress(dib.get(), 0, y),
                    image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                    static_cast<std::size_t>(image.width));
    }
    return dib;
}

std::size_t BlockLength(const ANXFRAME *frame) { return anim::platform::BlockSize(frame); }

std::uint32_t RawBlockSize(const ANXFRAME *frame) {
    const ANXFRAME header = anim::dib::LoadHeader(frame);
    return anim::dib::PixelAreaOffset(header) + header.dataSize;
}

const std::uint8_t *PixelArea(const ANXFRAME *frame) {
    return anim::dib::PixelArea(frame, anim::dib::LoadHeader(frame));
}

void AppendBlock(std::vector<std::uint8_t> &out, const ANXFRAME *frame) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(frame);
    out.insert(out.end(), bytes, bytes + BlockLength(frame));
}

std::vector<std::uint8_t> RepeatHeader(std::int32_t of) {
    ANXFRAME header{};
    header.firstMark = anim::dib::kFirstMark;
    header.secondMark = anim::dib::kSecondMark;
    header.compression = layout::kStoredMark;
    header.repeatFrame = static_cast<std::int16_t>(of);
    std::vector<std::uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

// Markers: every byte whose entry is not the line-form plain (1, b), and the
// escape.
std::int32_t CountMarkers(const std::uint16_t *table) {
    std::int32_t markers = 1;
    const std::uint8_t escape = static_cast<std::uint8_t>(table[0]);
    for (std::uint32_t b = 1; b < KOVRLE_TABLE_ENTRIES; ++b) {
        if (b != escape && table[b] != (0x100u | b)) ++markers;
    }
    return markers;
}

// Decodes an encoded frame at full size and compares every pixel with the
// raw frame it came from: a table or encoder fault becomes a refusal here
// rather than a wrong picture in a game.
bool RoundTrips(const ANXFRAME *encoded, const ANXFRAME *raw, std::uint16_t *table,
                std::int32_t kind) {
    FramePtr decoded(AnxUnKOVRLEFrame(encoded, nullptr, table, nullptr, 0, 100, 0, 0, 0, kind));
    if (!decoded) return false;
    const ANXFRAME header = anim::dib::LoadHeader(raw);
    const std::uint8_t *want = PixelArea(raw);
    const std::uint8_t *got = PixelArea(decoded.get());
    if (kind == ANX_STREAM_WHOLE_FRAME) return std::memcmp(want, got, header.dataSize) == 0;
    // Line decoding leaves the row padding unwritten.
    const std::int32_t width = header.rect.right - header.rect.left + 1;
    const std::int32_t height = header.rect.bottom - header.rect.top + 1;
    const std::size_t stride = static_cast<std::size_t>(anim::platform::RowStride(width));
    for (std::int32_t r = 0; r < height; ++r) {
        if (std::memcmp(want + r * stride, got + r * stride, static_cast<std::size_t>(width)) != 0)
            return false;
    }
    return true;
}

struct TableBuild {
    std::vector<std::uint32_t> statistics = std::vector<std::uint32_t>(KOVRLE_STATISTICS_COUNT);
    std::uint16_t table[KOVRLE_TABLE_ENTRIES] = {};

    TableBuild() { KOVRLEStartDecompTable(statistics.data()); }
    void Finish() {
        KOVRLEFinishDecompTable(statistics.data(), table, 0, KOVRLE_AUTO_LIMIT);
        KOVRLEConvertTableToLineForm(table);
    }
};

// Frames (and overlays) of one sequence, each a stored block or a repeat
// header. An entry may instead use the block of another entry: a repeat
// frame stands for its frame, number included, so its overlay entry names
// that frame's overlay.
struct Blocks {
    struct Item {
        std::vector<std::uint8_t> bytes;
        std::int32_t sameAs = kNoRepeat;  // the entry whose block this one uses
    };
    std::vector<Item> items;
};

// Offsets, then lengths (both of the block each entry uses), then the
// blocks themselves.
void AppendIndexed(std::vector<std::uint8_t> &out, const Blocks &blocks, bool noneIsEmpty) {
    std::vector<std::uint32_t> offsets;
    std::uint32_t offset = 0;
    for (const auto &item : blocks.items) {
        offsets.push_back(offset);
        offset += static_cast<std::uint32_t>(item.bytes.size());
    }
    auto used = [&](std::size_t k) {
        const std::int32_t same = blocks.items[k].sameAs;
        return same == kNoRepeat ? k : static_cast<std::size_t>(same);
    };
    for (std::size_t k = 0; k < blocks.items.size(); ++k) {
        const std::size_t u = used(k);
        AppendLe(out, blocks.items[u].bytes.empty() && noneIsEmpty ? layout::kNoNumber : offsets[u]);
    }
    for (std::size_t k = 0; k < blocks.items.size(); ++k) {
        AppendLe(out, static_cast<std::uint32_t>(blocks.items[used(k)].bytes.size()));
    }
    for (const auto &item : blocks.items) out.insert(out.end(), item.bytes.begin(), item.bytes.end());
}

// A sequence record into out; false when its head cannot be laid out.
[[nodiscard]] bool SequenceRecord(std::int32_t frameCount, bool delta, std::uint32_t expandSize,
                                  const std::uint16_t *table, const std::vector<std::uint8_t> &skip,
                                  const Blocks &frames, std::vector<std::uint8_t> &out) {
    out.assign(layout::kSkipAt, 0);
    const layout::SequenceHead head{static_cast<std::int16_t>(delta ? -frameCount : frameCount),
                                    expandSize, table, static_cast<std::uint32_t>(skip.size())};
    if (!layout::StoreSequenceHead(out, head)) return false;
    out.insert(out.end(), skip.begin(), skip.end());
    AppendIndexed(out, frames, false);
    return true;
}

// A player-number record into out; false when its head cannot be laid out.
[[nodiscard]] bool NumberRecord(std::int32_t frameCount, const Blocks &overlays,
                                std::vector<std::uint8_t> &out) {
    out.assign(layout::kOverlayOffsetsAt, 0);
    if (!layout::StoreLe(std::span(out), layout::kOverlayCountAt,
                         static_cast<std::int16_t>(frameCount)))
        return false;
    AppendIndexed(out, overlays, true);
    return true;
}

std::string FrameError(std::size_t k, const char *what) {
    return "frame " + std::to_string(k) + ": " + what;
}

}  // namespace

struct Writer::Encoded {
    std::vector<std::uint8_t> record;
    std::vector<std::uint8_t> numbers;  // empty: no player-number record
};

Writer::Writer() = default;
Writer::~Writer() = default;

std::size_t Writer::sequenceCount() const { return sequences_.size(); }

namespace {

// A coded block, or why it could not be made.
struct Coded {
    std::vector<std::uint8_t> bytes;
    std::string error;
};

// Checks the frames of a scalable sequence and feeds the pixels of each
// real one to the table's statistics; the first refusal, or empty.
std::string CheckScalable(std::span<const Frame> frames, TableBuild &build) {
    const auto count = static_cast<std::int32_t>(frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const Frame &f = frames[k];
        if (f.repeatOf != kNoRepeat) {
            if (f.repeatOf < 0 || f.repeatOf >= count || static_cast<std::size_t>(f.repeatOf) == k ||
                frames[static_cast<std::size_t>(f.repeatOf)].repeatOf != kNoRepeat)
                return FrameError(k, "repeats a frame that is not a real frame of the sequence");
            continue;
        }
        if (!ImageValid(f.image, kMaxScalableSide))
            return FrameError(k, "picture must be 1 to 255 pixels a side, width x height bytes");
        if (!RectFits(f.originX, f.originY, f.image))
            return FrameError(k, "origin puts the frame outside 16-bit coordinates");
        if (f.number) {
            const NumberOverlay &n = *f.number;
            if (!ImageValid(n.art, kMaxScalableSide) || n.left < 0 || n.top < 0 ||
                n.left + n.art.width > f.image.width || n.top + n.art.height > f.image.height)
                return FrameError(k, "number art must lie inside the frame's picture");
        }
        KOVRLEUpdateDecompTableLineByLine(f.image.pixels.data(),
                                          static_cast<std::uint32_t>(f.image.width),
                                          static_cast<std::uint32_t>(f.image.height),
                                          build.statistics.data());
    }
    return {};
}

// Real frame k of a scalable sequence coded line by line through table,
// and decoded back to be sure of it.
Coded EncodeScalableFrame(const Frame &f, std::size_t k, std::uint16_t *table,
                          SequenceStats &stats) {
    DibPtr dib = MakeDib(f.image);
    if (!dib) return {{}, "out of memory"};
    const RECT whole{0, 0, f.image.width - 1, f.image.height - 1};
    const POINT origin{f.originX, f.originY};
    FramePtr raw(CopyDIBToAnxFrame(dib.get(), &origin, &whole, 1));
    if (!raw) return {{}, FrameError(k, "cannot be made into a frame")};
    raw->adjustX = f.adjustX;
    raw->adjustY = f.adjustY;
    stats.rawBytes += RawBlockSize(raw.get());
    stats.expandSize = std::max(stats.expandSize, RawBlockSize(raw.get()));
    // The encoder releases its input only when it succeeds.
    FramePtr encoded(AnxKOVRLEFrameLineByLine(raw.get(), table,
                                              static_cast<std::uint16_t>(f.image.width),
                                              static_cast<std::uint16_t>(f.image.height)));
    if (!encoded) return {{}, FrameError(k, "the line encoder refused it")};
    (void)raw.release();  // released by the encoder
    // Compare against a fresh raw copy: the input block is gone.
    FramePtr reference(CopyDIBToAnxFrame(dib.get(), &origin, &whole, 1));
    if (!reference ||
        !RoundTrips(encoded.get(), reference.get(), table, ANX_STREAM_LINE_BY_LINE))
        return {{}, FrameError(k, "does not decode back to its picture")};
    Coded coded;
    AppendBlock(coded.bytes, encoded.get());
    return coded;
}

// The number overlay of frame k, placed where its art lies in the frame.
Coded EncodeNumberArt(const Frame &f, std::size_t k) {
    const NumberOverlay &n = *f.number;
    DibPtr art = MakeDib(n.art);
    if (!art) return {{}, "out of memory"};
    const RECT artRect{0, 0, n.art.width - 1, n.art.height - 1};
    const POINT at{f.originX + n.left, f.originY + n.top};
    FramePtr artRaw(CopyDIBToAnxFrame(art.get(), &at, &artRect, 1));
    if (!artRaw) return {{}, FrameError(k, "number art cannot be made into a frame")};
    FramePtr overlay(AnxFrameLineByLine(artRaw.get(), nullptr,
                                        static_cast<std::uint16_t>(n.art.width),
                                        static_cast<std::uint16_t>(n.art.height)));
    if (!overlay) return {{}, FrameError(k, "the overlay encoder refused its number art")};
    (void)artRaw.release();  // released by the encoder
    Coded coded;
    AppendBlock(coded.bytes, overlay.get());
    return coded;
}

}  // namespace

Added Writer::AddScalableSequence(std::span<const Frame> frames, std::string name,
                                  const SequenceOptions &options) {
    const auto count = static_cast<std::int32_t>(frames.size());
    if (frames.empty() || frames.size() > static_cast<std::size_t>(kMaxFrames))
        return {-1, "a sequence holds 1 to 32767 frames"};
    SequenceStats stats;
    stats.name = std::move(name);
    stats.frames = count;

    TableBuild build;
    if (std::string error = CheckScalable(frames, build); !error.empty()) return {-1, error};
    build.Finish();
    stats.markers = CountMarkers(build.table);

    Blocks stored;
    Blocks overlays;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const Frame &f = frames[k];
        if (f.repeatOf != kNoRepeat) {
            stored.items.push_back({RepeatHeader(f.repeatOf)});
            overlays.items.push_back({{}, f.repeatOf});
            ++stats.repeatFrames;
            continue;
        }
        Coded frame = EncodeScalableFrame(f, k, build.table, stats);
        if (!frame.error.empty()) return {-1, frame.error};
        stored.items.push_back({std::move(frame.bytes)});
        Coded overlay;
        if (f.number) {
            overlay = EncodeNumberArt(f, k);
            if (!overlay.error.empty()) return {-1, overlay.error};
            ++stats.numberFrames;
        }
        overlays.items.push_back({std::move(overlay.bytes)});
    }

    Encoded encoded;
    if (!SequenceRecord(count, false, stats.expandSize, build.table, options.skipArea, stored,
                        encoded.record) ||
        (stats.numberFrames > 0 && !NumberRecord(count, overlays, encoded.numbers)))
        return {-1, "cannot lay out its record"};
    return Keep(std::move(encoded), std::move(stats));
}

Added Writer::Keep(Encoded encoded, SequenceStats stats) {
    stats.storedBytes = encoded.record.size() + encoded.numbers.size();
    sequences_.push_back(std::move(encoded));
    stats_.push_back(std::move(stats));
    return {static_cast<std::int32_t>(sequences_.size() - 1), {}};
}

namespace {

// The smallest rectangle around every pixel of a difference DIB that is not
// its key, or nothing when no pixel changed.
bool ChangedBounds(BITMAPINFOHEADER *diff, std::uint8_t key, RECT &bounds) {
    bounds = RECT{diff->biWidth, diff->biHeight, -1, -1};
    for (std::int32_t y = 0; y < diff->biHeight; ++y) {
        const std::uint8_t *row = GetDIBPixelAddress(diff, 0, y);
        for (std::int32_t x = 0; x < diff->biWidth; ++x) {
            if (row[x] == key) continue;
            bounds.left = std::min(bounds.left, x);
            bounds.right = std::max(bounds.right, x);
            bounds.top = std::min(bounds.top, y);
            bounds.bottom = std::max(bounds.bottom, y);
        }
    }
    return bounds.right >= 0;
}

// Whether the rectangles hold every changed pixel: a full rectangle list
// drops regions, and a dropped change would be a wrong picture in play.
bool Covers(BITMAPINFOHEADER *diff, std::uint8_t key, const std::vector<RECT> &rects) {
    for (std::int32_t y = 0; y < diff->biHeight; ++y) {
        const std::uint8_t *row = GetDIBPixelAddress(diff, 0, y);
        for (std::int32_t x = 0; x < diff->biWidth; ++x) {
            if (row[x] == key) continue;
            const bool inside = std::any_of(rects.begin(), rects.end(), [&](const RECT &r) {
                return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
            });
            if (!inside) return false;
        }
    }
    return true;
}

// The options and frames of a delta sequence; the first refusal, or empty.
std::string CheckDelta(std::span<const Frame> frames, const DeltaOptions &delta) {
    if (delta.keyInterval < 0 || delta.maxRects < 1 || delta.divisor < 2 || delta.minRectSize < 0)
        return "delta options out of range";
    const Image &first = frames[0].image;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const Frame &f = frames[k];
        if (f.repeatOf != kNoRepeat || f.number)
            return FrameError(k, "delta sequences have no repeats and no numbers");
        if (!ImageValid(f.image, INT16_MAX) || f.image.width != first.width ||
            f.image.height != first.height)
            return FrameError(k, "every picture of a delta sequence has frame 0's size");
    }
    if (!RectFits(frames[0].originX, frames[0].originY, first))
        return "origin puts the frames outside 16-bit coordinates";
    return {};
}

// A raw delta frame, or why it could not be made.
struct RawDelta {
    FramePtr frame;
    std::string error;
};

// The rectangles of a difference DIB that hold its changed pixels: those
// DIBFindNewRects finds, or one around every change when they miss some.
std::vector<RECT> ChangedRects(BITMAPINFOHEADER *diff, std::uint8_t keyColour,
                               const DeltaOptions &delta) {
    std::vector<RECT> rects(static_cast<std::size_t>(delta.maxRects));
    std::int32_t found = delta.maxRects;
    DIBFindNewRects(diff, rects.data(), &found, delta.minRectSize, 1, 0, delta.divisor);
    rects.resize(static_cast<std::size_t>(std::clamp(found, 1, delta.maxRects)));
    RECT bounds;
    if (!Covers(diff, keyColour, rects) && ChangedBounds(diff, keyColour, bounds))
        rects.assign(1, bounds);
    return rects;
}

// Frame k of a delta sequence as a raw frame: whole on a key frame, else
// the rectangles that changed since frame k - 1, unchanged pixels in the
// difference's key colour.
RawDelta DeltaRawFrame(std::span<const Frame> frames, std::size_t k, const DeltaOptions &delta,
                       SequenceStats &stats) {
    const POINT origin{frames[0].originX, frames[0].originY};
    const RECT whole{0, 0, frames[0].image.width - 1, frames[0].image.height - 1};
    DibPtr fresh = MakeDib(frames[k].image);
    if (!fresh) return {nullptr, "out of memory"};
    const bool key =
        k == 0 || (delta.keyInterval > 0 && k % static_cast<std::size_t>(delta.keyInterval) == 0);
    if (key) return {FramePtr(CopyDIBToAnxFrame(fresh.get(), &origin, &whole, 1)), {}};
    DibPtr old = MakeDib(frames[k - 1].image);
    if (!old) return {nullptr, "out of memory"};
    // Same sizes and no key yet: DeltaDIB does not refuse these.
    BITMAPINFOHEADER *diff = DeltaDIB(fresh.get(), old.get());
    if (diff == nullptr) {
        (void)fresh.release();  // released by the refusal
        return {nullptr, FrameError(k, "cannot be differenced")};
    }
    const auto keyColour = static_cast<std::uint8_t>(diff->biCompression >> 16);
    // Every index in use: an opaque whole frame.
    const std::vector<RECT> rects =
        keyColour != 0 ? ChangedRects(diff, keyColour, delta) : std::vector<RECT>{whole};
    if (keyColour != 0) stats.rectangles += static_cast<std::int32_t>(rects.size());
    return {FramePtr(CopyDIBToAnxFrame(diff, &origin, rects.data(),
                                       static_cast<std::int32_t>(rects.size()))),
            {}};
}

// Codes the raw frames whole-frame through table, each decoded back to be
// sure of it, into stored; the first refusal, or empty.
std::string EncodeDeltaFrames(std::vector<FramePtr> &raws, std::uint16_t *table,
                              SequenceStats &stats, Blocks &stored) {
    for (std::size_t k = 0; k < raws.size(); ++k) {
        FramePtr &raw = raws[k];
        const std::uint32_t rawSize = RawBlockSize(raw.get());
        stats.rawBytes += rawSize;
        stats.expandSize = std::max(stats.expandSize, rawSize);
        // A copy to compare with: the encoder releases its input.
        const std::size_t length = BlockLength(raw.get());
        FramePtr reference(static_cast<ANXFRAME *>(ALLOCATE(static_cast<std::uint32_t>(length))));
        if (!reference) return "out of memory";
        std::memcpy(reference.get(), raw.get(), length);
        FramePtr encoded(AnxKOVRLEFrame(raw.get(), table));
        if (!encoded) return FrameError(k, "the whole-frame encoder refused it");
        (void)raw.release();
        if (!RoundTrips(encoded.get(), reference.get(), table, ANX_STREAM_WHOLE_FRAME))
            return FrameError(k, "does not decode back to its picture");
        std::vector<std::uint8_t> bytes;
        AppendBlock(bytes, encoded.get());
        stored.items.push_back({std::move(bytes)});
    }
    return {};
}

}  // namespace

Added Writer::AddDeltaSequence(std::span<const Frame> frames, std::string name,
                               const DeltaOptions &delta, const SequenceOptions &options) {
    const auto count = static_cast<std::int32_t>(frames.size());
    if (frames.empty() || frames.size() > static_cast<std::size_t>(kMaxFrames))
        return {-1, "a sequence holds 1 to 32767 frames"};
    if (std::string error = CheckDelta(frames, delta); !error.empty()) return {-1, error};

    SequenceStats stats;
    stats.name = std::move(name);
    stats.delta = true;
    stats.frames = count;
    std::vector<FramePtr> raws;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        RawDelta raw = DeltaRawFrame(frames, k, delta, stats);
        if (!raw.error.empty()) return {-1, raw.error};
        if (!raw.frame) return {-1, FrameError(k, "cannot be made into a frame")};
        if (raw.frame->compressionHigh == 0) ++stats.keyFrames;
        raws.push_back(std::move(raw.frame));
    }

    TableBuild build;
    for (const FramePtr &raw : raws) {
        KOVRLEUpdateDecompTable(PixelArea(raw.get()), raw->dataSize, build.statistics.data());
    }
    build.Finish();
    stats.markers = CountMarkers(build.table);
    Blocks stored;
    if (std::string error = EncodeDeltaFrames(raws, build.table, stats, stored); !error.empty())
        return {-1, error};

    Encoded encoded;
    if (!SequenceRecord(count, true, stats.expandSize, build.table, options.skipArea, stored,
                        encoded.record))
        return {-1, "cannot lay out its record"};
    return Keep(std::move(encoded), std::move(stats));
}

Status Writer::Build(std::vector<std::uint8_t> &out) const {
    if (sequences_.empty()) return Status::Fail("no sequence to write");
    if (sequences_.size() > UINT16_MAX) return Status::Fail("more than 65535 sequences");
    std::uint64_t shortBody = 0;
    std::uint64_t fullBody = 0;
    std::uint32_t numberRecords = 0;
    for (const Encoded &s : sequences_) shortBody += s.record.size();
    fullBody = shortBody;
    for (const Encoded &s : sequences_) {
        if (!s.numbers.empty()) ++numberRecords;
        fullBody += s.numbers.size();
    }
    if (fullBody > UINT32_MAX) return Status::Fail("the body outgrows 32-bit offsets");

    layout::FileHeader header;
    header.sequences = static_cast<std::uint16_t>(sequences_.size());
    header.numberRecords = static_cast<std::uint16_t>(numberRecords);
    header.fullBody = static_cast<std::uint32_t>(fullBody);
    header.shortBody = static_cast<std::uint32_t>(shortBody);
    out.assign(layout::BodyStart(sequences_.size()), 0);
    std::vector<layout::DirectoryEntry> directory(sequences_.size());
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < sequences_.size(); ++i) {
        directory[i].sequence = offset;
        out.insert(out.end(), sequences_[i].record.begin(), sequences_[i].record.end());
        offset += static_cast<std::uint32_t>(sequences_[i].record.size());
    }
    for (std::size_t i = 0; i < sequences_.size(); ++i) {
        if (sequences_[i].numbers.empty()) continue;
        directory[i].numbers = offset;
        out.insert(out.end(), sequences_[i].numbers.begin(), sequences_[i].numbers.end());
        offset += static_cast<std::uint32_t>(sequences_[i].numbers.size());
    }
    const std::span<std::uint8_t> head(out.data(), layout::BodyStart(sequences_.size()));
    bool laidOut = layout::StoreFileHeader(head, header);
    for (std::size_t i = 0; laidOut && i < directory.size(); ++i) {
        laidOut = layout::StoreDirectoryEntry(head.subspan(layout::kFileHeaderSize), i, directory[i]);
    }
    if (!laidOut) return Status::Fail("cannot lay out the header and directory");
    return Status::Ok();
}

Status Writer::Write(const std::string &path) const {
    std::vector<std::uint8_t> bytes;
    Status built = Build(bytes);
    if (!built) return built;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return Status::Fail("cannot create " + path);
    file.write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) return Status::Fail("cannot write " + path);
    return Status::Ok();
}

std::string FormatStats(const std::vector<SequenceStats> &stats) {
    std::ostringstream out;
    char line[160];
    std::snprintf(line, sizeof line, "%-16s %-9s %6s %6s %6s %7s %10s %10s %6s %7s\n", "sequence",
                  "kind", "frames", "repeat", "number", "markers", "raw", "stored", "ratio",
                  "expand");
    out << line;
    std::uint64_t raw = 0;
    std::uint64_t stored = 0;
    std::int32_t frames = 0;
    for (const SequenceStats &s : stats) {
        const double ratio = s.rawBytes != 0 ? 100.0 * double(s.storedBytes) / double(s.rawBytes) : 0;
        std::snprintf(line, sizeof line, "%-16s %-9s %6d %6d %6d %7d %10llu %10llu %5.1f%% %7u\n",
                      s.name.c_str(), s.delta ? "delta" : "scalable", s.frames, s.repeatFrames,
                      s.numberFrames, s.markers, static_cast<unsigned long long>(s.rawBytes),
                      static_cast<unsigned long long>(s.storedBytes), ratio, s.expandSize);
        out << line;
        raw += s.rawBytes;
        stored += s.storedBytes;
        frames += s.frames;
    }
    const double ratio = raw != 0 ? 100.0 * double(stored) / double(raw) : 0;
    std::snprintf(line, sizeof line, "%-16s %-9s %6d %6s %6s %7s %10llu %10llu %5.1f%% %7s\n",
                  "total", "", frames, "", "", "", static_cast<unsigned long long>(raw),
                  static_cast<unsigned long long>(stored), ratio, "");
    out << line;
    return out.str();
}

}  // namespace writer
