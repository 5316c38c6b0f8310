#include "contact_sheet.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "animate.h"
#include "codec/anx_decode.h"

namespace anxinfo {
namespace {

// The decoder's limits on one frame of a compressed sequence.
constexpr int kMaxSide = 255;
constexpr int kGap = 4;

struct FrameDeleter {
    void operator()(ANXFRAME *f) const { DeleteAnxFrame(f); }
};
using FramePtr = std::unique_ptr<ANXFRAME, FrameDeleter>;

int Stride(int w) { return (w + 3) & ~3; }

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
           f.dataSize == static_cast<std::uint32_t>(Stride(w) * h) && (f.compression & 1) != 0;
}

Picture FromRaw(const ANXFRAME *raw) {
    Picture p;
    p.width = raw->rect.right - raw->rect.left + 1;
    p.height = raw->rect.bottom - raw->rect.top + 1;
    p.pixels.assign(static_cast<std::size_t>(p.width) * p.height, 0);
    const auto *base = reinterpret_cast<const std::uint8_t *>(raw) + kFrameHeaderSize +
                       kRectEntrySize * static_cast<std::size_t>(raw->rectCount);
    for (int r = 0; r < p.height; ++r) {
        std::memcpy(&p.pixels[static_cast<std::size_t>(p.height - 1 - r) * p.width],
                    base + static_cast<std::size_t>(r) * Stride(p.width), static_cast<std::size_t>(p.width));
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

// Delta sequences: frame 0 whole, later frames' rectangles laid over the
// picture so far, their key colour left out.
std::vector<std::optional<Picture>> DecodeDelta(const AnxFile &file, const Sequence &seq) {
    std::vector<std::optional<Picture>> out(seq.frames.size());
    std::vector<std::uint16_t> table = seq.table;
    std::optional<Picture> picture;
    for (std::size_t k = 0; k < seq.frames.size(); ++k) {
        const StoredFrame &f = seq.frames[k];
        if (!f.valid || f.rectCount < 1 || f.dataSize > (1u << 24)) continue;
        std::vector<std::uint8_t> copy = FrameBytes(file, f);
        // Rectangles must fit the data they claim.
        std::uint64_t need = 0;
        bool sane = true;
        std::vector<ANXRECT> rects(static_cast<std::size_t>(f.rectCount));
        for (std::size_t i = 0; i < rects.size(); ++i) {
            std::memcpy(&rects[i], copy.data() + kFrameHeaderSize + kRectEntrySize * i, sizeof(ANXRECT));
            const int w = rects[i].right - rects[i].left + 1, h = rects[i].bottom - rects[i].top + 1;
            if (w < 1 || h < 1) sane = false;
            need += static_cast<std::uint64_t>(Stride(std::max(w, 1))) * static_cast<std::uint64_t>(std::max(h, 1));
        }
        if (!sane || need != f.dataSize) continue;
        FramePtr raw(Expand(copy, {}, table, 0, 0, ANX_STREAM_WHOLE_FRAME));
        if (!raw) continue;
        if (k == 0) {
            const int w = f.right - f.left + 1, h = f.bottom - f.top + 1;
            if (w < 1 || h < 1 || rects[0].left != 0 || rects[0].top != 0 || rects[0].right != w - 1 ||
                rects[0].bottom != h - 1) {
                continue;
            }
            picture = FromRaw(raw.get());
        } else if (picture) {
            const auto key = static_cast<std::uint8_t>(f.keyColour & 0xFF);
            const std::uint8_t *src = reinterpret_cast<const std::uint8_t *>(raw.get()) + kFrameHeaderSize +
                                      kRectEntrySize * rects.size();
            for (const ANXRECT &r : rects) {
                const int w = r.right - r.left + 1, h = r.bottom - r.top + 1;
                for (int row = 0; row < h; ++row) {
                    const int y = r.bottom - row + f.adjustY;
                    for (int col = 0; col < w; ++col) {
                        const int x = r.left + col + f.adjustX;
                        const std::uint8_t v = src[static_cast<std::size_t>(row) * Stride(w) + col];
                        if ((key != 0 && v == key) || x < 0 || y < 0 || x >= picture->width || y >= picture->height) {
                            continue;
                        }
                        picture->pixels[static_cast<std::size_t>(y) * picture->width + x] = v;
                    }
                }
                src += static_cast<std::size_t>(Stride(w)) * h;
            }
        }
        out[k] = picture;
    }
    return out;
}

void Recolour(std::vector<std::uint16_t> &table, const anxpack::TeamColours &team) {
    if (team.count == 0) return;
    for (std::uint16_t &e : table) {
        const int v = e & 0xFF;
        if (v >= team.first && v < team.first + team.count) {
            e = static_cast<std::uint16_t>((e & 0xFF00) | ((v + team.shift) & 0xFF));
        }
    }
}

}  // namespace

imageio::IndexedImage DrawContactSheet(const AnxFile &file, const SheetOptions &options,
                                         std::vector<std::string> &problems) {
    const int kits = options.teams ? 2 : 1;
    // rows[s * kits + team][k]
    std::vector<std::vector<std::optional<Picture>>> rows;
    int cell_w = 1, cell_h = 1;
    std::size_t columns = 1;
    for (std::size_t s = 0; s < file.sequences.size(); ++s) {
        const Sequence &seq = file.sequences[s];
        for (int team = 0; team < kits; ++team) {
            std::vector<std::optional<Picture>> row;
            if (!seq.valid || seq.table.size() != kTableEntries) {
                rows.push_back(std::move(row));
                continue;
            }
            if (seq.delta) {
                row = DecodeDelta(file, seq);
            } else {
                std::vector<std::uint16_t> table = seq.table;
                if (team == 1) {
                    const auto colours = options.teamColours ? options.teamColours
                                                             : (seq.meta ? seq.meta->team : std::nullopt);
                    if (colours) Recolour(table, *colours);
                }
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
            }
            for (std::size_t k = 0; k < row.size(); ++k) {
                if (!row[k]) {
                    if (team == 0) problems.push_back("sequence " + std::to_string(s) + ", frame " + std::to_string(k) + ": not drawn (cannot be decoded safely)");
                    continue;
                }
                cell_w = std::max(cell_w, row[k]->width);
                cell_h = std::max(cell_h, row[k]->height);
            }
            columns = std::max(columns, row.size());
            rows.push_back(std::move(row));
        }
    }
    const int width = static_cast<int>(columns) * (cell_w + kGap) + kGap;
    const int height = static_cast<int>(std::max<std::size_t>(rows.size(), 1)) * (cell_h + kGap) + kGap;
    imageio::IndexedImage sheet(width, height, options.background);
    sheet.colours = options.colours;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            if (!rows[r][k]) continue;
            const Picture &p = *rows[r][k];
            const int x0 = kGap + static_cast<int>(k) * (cell_w + kGap) + (cell_w - p.width) / 2;
            const int y0 = kGap + static_cast<int>(r) * (cell_h + kGap) + (cell_h - p.height);
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) {
                    const std::uint8_t v = p.pixels[static_cast<std::size_t>(y) * p.width + x];
                    if (v) sheet.At(x0 + x, y0 + y) = v;
                }
        }
    }
    return sheet;
}

}  // namespace anxinfo
