// The contact sheet draws each frame through the library itself: scalable
// frames with the decoder, delta sequences and the second kit with the
// projector's own steps, so that the sheet shows what a game shows. Each
// row is labelled with the sequence's id and name.
#include "contact_sheet.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "animate.h"
#include "codec/anx_decode.h"
#include "dib/anx_frame.h"
#include "label_font.h"
#include "platform/geometry.h"
#include "projector/projector.h"

namespace anxinfo {
namespace {

namespace projector = anim::projector;

// The decoder's limits on one frame of a compressed sequence.
constexpr int kMaxSide = 255;
constexpr int kGap = 4;

struct FrameDeleter {
    void operator()(ANXFRAME *f) const { DeleteAnxFrame(f); }
};
using FramePtr = std::unique_ptr<ANXFRAME, FrameDeleter>;
struct DibDeleter {
    void operator()(BITMAPINFOHEADER *dib) const { DeleteDIB(dib); }
};
using DibPtr = std::unique_ptr<BITMAPINFOHEADER, DibDeleter>;


struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // top row first, 0 transparent
};

// A copy of a stored frame's block as far as the file holds it (a frame's
// stream length is not stored; the next frame or the end of its area ends
// it). The decoder is given this length, so a damaged stream ends the
// decode instead of reading on.
std::vector<std::uint8_t> FrameBytes(const AnxFile &file, const StoredFrame &f) {
    return std::vector<std::uint8_t>(file.bytes.begin() + static_cast<std::ptrdiff_t>(f.at),
                                     file.bytes.begin() + static_cast<std::ptrdiff_t>(f.at + f.available));
}

ANXFRAME *Expand(const std::vector<std::uint8_t> &frame, const std::vector<std::uint8_t> &overlay,
                 std::vector<std::uint16_t> &table, std::int32_t number, std::uint8_t colour, std::int32_t kind) {
    anim::codec::DecodeRequest request;
    request.frame = frame.data();
    request.frameSize = frame.size();
    if (!overlay.empty()) {
        request.overlay = overlay.data();
        request.overlaySize = overlay.size();
    }
    request.table = table.data();
    request.numberIndex = number;
    request.numberColour = colour;
    request.streamKind = kind;
    return anim::codec::Expand(request);
}

bool SaneScalable(const StoredFrame &f) {
    const int w = f.right - f.left + 1, h = f.bottom - f.top + 1;
    return f.valid && f.rectCount == 1 && w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide &&
           f.dataSize == static_cast<std::uint32_t>(anim::platform::RowStride(w) * h) && (f.compression & 1) != 0;
}

Picture FromRaw(const ANXFRAME *raw) {
    Picture p;
    p.width = raw->rect.right - raw->rect.left + 1;
    p.height = raw->rect.bottom - raw->rect.top + 1;
    p.pixels.assign(static_cast<std::size_t>(p.width) * p.height, 0);
    const std::uint8_t *base = anim::dib::PixelArea(raw, anim::dib::LoadHeader(raw));
    for (int r = 0; r < p.height; ++r) {
        std::memcpy(&p.pixels[static_cast<std::size_t>(p.height - 1 - r) * p.width],
                    base + static_cast<std::size_t>(r) * anim::platform::RowStride(p.width), static_cast<std::size_t>(p.width));
    }
    return p;
}

std::optional<Picture> DecodeScalable(const AnxFile &file, const StoredFrame &f,
                                      const StoredFrame *overlay, std::vector<std::uint16_t> table, int number,
                                      std::uint8_t colour) {
    if (!SaneScalable(f)) return std::nullopt;
    std::vector<std::uint8_t> frame = FrameBytes(file, f);
    std::vector<std::uint8_t> over;
    if (overlay) {
        const int ow = overlay->right - overlay->left + 1, oh = overlay->bottom - overlay->top + 1;
        const bool inside = overlay->left >= f.left && overlay->top >= f.top && overlay->right <= f.right &&
                            overlay->bottom <= f.bottom;
        if (overlay->valid && overlay->rectCount == 1 && ow >= 1 && oh >= 1 && ow <= kMaxSide && oh <= kMaxSide &&
            inside) {
            over = FrameBytes(file, *overlay);
        }
    }
    FramePtr out(Expand(frame, over, table, number, colour, ANX_STREAM_LINE_BY_LINE));
    if (!out) return std::nullopt;
    return FromRaw(out.get());
}

// A picture DIB's pixels, top row first.
Picture FromDib(BITMAPINFOHEADER *dib) {
    Picture p;
    p.width = dib->biWidth;
    p.height = dib->biHeight;
    p.pixels.resize(static_cast<std::size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y) {
        std::memcpy(&p.pixels[static_cast<std::size_t>(y) * p.width], GetDIBPixelAddress(dib, 0, y),
                    static_cast<std::size_t>(p.width));
    }
    return p;
}

// Delta sequences as the projector plays them: frame 0 makes the picture,
// later frames lay their rectangles over it, their key colour left out; a
// frame the projector would refuse is not drawn.
std::vector<std::optional<Picture>> DecodeDelta(const AnxFile &file, const Sequence &seq) {
    std::vector<std::optional<Picture>> out(seq.frames.size());
    std::vector<std::uint16_t> table = seq.table;
    DibPtr picture;
    for (std::size_t k = 0; k < seq.frames.size(); ++k) {
        const StoredFrame &f = seq.frames[k];
        if (!f.valid || (k > 0 && !picture)) continue;
        std::vector<std::uint8_t> copy = FrameBytes(file, f);
        auto *stored = reinterpret_cast<ANXFRAME *>(copy.data());
        const auto size =
            k == 0 ? projector::DeltaPictureSize(stored)
                   : std::optional(projector::PictureSize{picture->biWidth, picture->biHeight});
        if (!size) continue;
        ANXFRAME *expanded = nullptr;
        ANXFRAME *ready = projector::ReadyDeltaFrame(stored, copy.size(), table.data(), *size,
                                                     projector::PlacementOf(static_cast<std::int32_t>(k)),
                                                     &expanded);
        const FramePtr owned(expanded);
        if (ready == nullptr) continue;
        if (k == 0) {
            picture.reset(CopyAnxFrameRectToDIB(ready, 0));
            if (!picture) continue;
        } else {
            projector::PaintDeltaRects(ready, picture.get(),
                                       static_cast<std::int32_t>(anim::platform::RowStride(picture->biWidth)));
        }
        out[k] = FromDib(picture.get());
    }
    return out;
}

// The second kit's table: the projector's recolouring of the first.
void Recolour(std::vector<std::uint16_t> &table, const anxpack::TeamColours &team) {
    const std::span<std::uint16_t, kTableEntries> entries(table.data(), kTableEntries);
    projector::RecolourTable(entries, entries, {team.first, team.count, team.shift});
}

// A scalable sequence's frames in one kit, each repeat showing the frame it
// stands for, numbered where the file has an overlay.
std::vector<std::optional<Picture>> DecodeScalableRow(const AnxFile &file, const Sequence &seq,
                                                      int team, const SheetOptions &options) {
    std::vector<std::uint16_t> table = seq.table;
    if (team == 1) {
        const auto colours = options.teamColours ? options.teamColours
                                                 : (seq.meta ? seq.meta->team : std::nullopt);
        if (colours) Recolour(table, *colours);
    }
    std::vector<std::optional<Picture>> row;
    for (std::size_t k = 0; k < seq.frames.size(); ++k) {
        const StoredFrame *f = &seq.frames[k];
        std::size_t shown = k;
        if (f->valid && f->rectCount == 0) {  // a repeat: show what it stands for
            shown = static_cast<std::size_t>(std::max<int>(f->repeatOf, 0));
            f = shown < seq.frames.size() ? &seq.frames[shown] : nullptr;
        }
        const StoredFrame *overlay = nullptr;
        if (seq.numbers && shown < seq.numbers->overlays.size() && seq.numbers->overlays[shown]) {
            overlay = &*seq.numbers->overlays[shown];
        }
        std::optional<Picture> p;
        if (f) p = DecodeScalable(file, *f, overlay, table, options.number, options.numberColours[team]);
        row.push_back(std::move(p));
    }
    return row;
}

// One row of the sheet: a sequence in one kit, labelled.
struct Row {
    std::string label;
    std::vector<std::optional<Picture>> pictures;
};

std::string Label(const Sequence &seq, std::size_t index, int team) {
    std::string label = seq.meta ? std::to_string(seq.meta->id) : "#" + std::to_string(index);
    if (seq.meta && !seq.meta->name.empty()) label += " " + seq.meta->name;
    if (team == 1) label += " (kit 2)";
    return label;
}

// The lightest and darkest colours of the sheet's palette (index 0 left
// out: it shows as transparent): the labels' box and letters, readable in
// any palette.
std::pair<std::uint8_t, std::uint8_t> LabelColours(const imageio::Colours &colours) {
    auto light = [](const imageio::Rgb &c) { return 299 * c.r + 587 * c.g + 114 * c.b; };
    std::uint8_t lightest = 1, darkest = 1;
    for (std::size_t i = 2; i < colours.size(); ++i) {
        if (light(colours[i]) > light(colours[lightest])) lightest = static_cast<std::uint8_t>(i);
        if (light(colours[i]) < light(colours[darkest])) darkest = static_cast<std::uint8_t>(i);
    }
    return {lightest, darkest};
}

// Where the pictures of the sheet go: a label column, then a cell a frame.
struct Layout {
    int labelWidth = 0;
    int cellWidth = 1;
    int cellHeight = kGlyphHeight + 2;
    std::size_t columns = 1;

    int CellX(std::size_t k) const {
        return labelWidth + kGap + static_cast<int>(k) * (cellWidth + kGap);
    }
    int RowY(std::size_t r) const { return kGap + static_cast<int>(r) * (cellHeight + kGap); }
};

// Pastes each picture into its cell, centred at the foot, and labels each row.
void Paste(imageio::IndexedImage &sheet, const std::vector<Row> &rows, const Layout &layout) {
    const auto [box, ink] = LabelColours(sheet.colours);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const int y = layout.RowY(r);
        for (int by = y; by < y + kGlyphHeight + 2; ++by)
            for (int bx = kGap; bx < kGap + LabelWidth(rows[r].label) + 1; ++bx)
                sheet.At(bx, by) = box;
        DrawLabel(sheet, kGap + 1, y + 1, rows[r].label, ink);
        for (std::size_t k = 0; k < rows[r].pictures.size(); ++k) {
            if (!rows[r].pictures[k]) continue;
            const Picture &p = *rows[r].pictures[k];
            const int x0 = layout.CellX(k) + (layout.cellWidth - p.width) / 2;
            const int y0 = y + (layout.cellHeight - p.height);
            for (int py = 0; py < p.height; ++py)
                for (int px = 0; px < p.width; ++px) {
                    const std::uint8_t v = p.pixels[static_cast<std::size_t>(py) * p.width + px];
                    if (v) sheet.At(x0 + px, y0 + py) = v;
                }
        }
    }
}

// The rows of one sequence: one a kit, a delta sequence once (it plays in
// its own colours only).
void AddRows(const AnxFile &file, std::size_t s, const SheetOptions &options,
             std::vector<Row> &rows, std::vector<std::string> &problems) {
    const Sequence &seq = file.sequences[s];
    const int kits = options.teams && !seq.delta ? 2 : 1;
    for (int team = 0; team < kits; ++team) {
        Row row{Label(seq, s, team), {}};
        if (seq.valid && seq.table.size() == kTableEntries) {
            row.pictures =
                seq.delta ? DecodeDelta(file, seq) : DecodeScalableRow(file, seq, team, options);
        }
        for (std::size_t k = 0; team == 0 && k < row.pictures.size(); ++k) {
            if (!row.pictures[k]) {
                problems.push_back("sequence " + std::to_string(s) + ", frame " +
                                   std::to_string(k) + ": not drawn (cannot be decoded safely)");
            }
        }
        rows.push_back(std::move(row));
    }
}

}  // namespace

imageio::IndexedImage DrawContactSheet(const AnxFile &file, const SheetOptions &options,
                                       std::vector<std::string> &problems) {
    std::vector<Row> rows;
    for (std::size_t s = 0; s < file.sequences.size(); ++s)
        AddRows(file, s, options, rows, problems);
    Layout layout;
    for (const Row &row : rows) {
        layout.labelWidth = std::max(layout.labelWidth, LabelWidth(row.label) + 1 + kGap);
        layout.columns = std::max(layout.columns, row.pictures.size());
        for (const std::optional<Picture> &p : row.pictures) {
            if (!p) continue;
            layout.cellWidth = std::max(layout.cellWidth, p->width);
            layout.cellHeight = std::max(layout.cellHeight, p->height);
        }
    }
    const int width = layout.CellX(layout.columns);
    const int height = layout.RowY(std::max<std::size_t>(rows.size(), 1));
    imageio::IndexedImage sheet(width, height, options.background);
    sheet.colours = options.colours;
    Paste(sheet, rows, layout);
    return sheet;
}

}  // namespace anxinfo
