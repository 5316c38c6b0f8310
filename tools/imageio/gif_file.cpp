// Animated GIF output through the GIF library's block writer.
//
//   file     := "GIF89a" screen loop frame* trailer(0x3B)
//   screen   := width(u16) height(u16) flags (8-bit global map) background 0
//               aspect 0, global colour map 256 x (r g b): frame 0's colours
//   loop     := application extension "NETSCAPE2.0" with sub-block 1, 0, 0
//               (repeat for ever)
//   frame    := control image
//   control  := graphic control extension: disposal "do not dispose", the
//               delay in hundredths, a transparent index on every frame but
//               the first when one is free among the box's pixels
//   image    := descriptor (the box of pixels that changed, never
//               interlaced), a local colour map when the colours differ from
//               frame 0's, LZW-coded rows of that box
//
// Numbers are little-endian; the data of every block goes out in sub-blocks
// of at most 255 bytes.
#include "gif_file.h"

#include "file_commit.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace imageio {
namespace {

constexpr int kColourBits = 8;
constexpr int kNoTransparency = NO_TRANSPARENT_COLOR;
// Loop forever: the application extension of animated GIFs.
constexpr unsigned char kLoopApplication[] = "NETSCAPE2.0";
constexpr unsigned char kLoopForever[] = {1, 0, 0};

std::string GifError(const std::string &path, int code) {
    const char *text = GifErrorString(code);
    return path + ": " + (text ? text : "GIF write failed");
}

ColorMapObject *MakeMap(const Colours &colours) {
    std::array<GifColorType, 256> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = GifColorType{colours[i].r, colours[i].g, colours[i].b};
    }
    return GifMakeMapObject(256, entries.data());
}

struct MapDeleter {
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};
using MapPtr = std::unique_ptr<ColorMapObject, MapDeleter>;

}  // namespace

struct GifAnimation::State {
    std::string path;
    std::string temporary;
    GifFileType *file = nullptr;
    int width = 0;
    int height = 0;
    int frames = 0;
    Colours global{};
    std::vector<Rgb> shown;  // what a viewer shows after the frames so far

    ~State() {
        if (file) {
            int error = 0;
            EGifCloseFile(file, &error);
            std::remove(temporary.c_str());
        }
    }
};

GifAnimation::GifAnimation() = default;
GifAnimation::~GifAnimation() = default;

int GifAnimation::frames() const { return state_ ? state_->frames : 0; }

std::string GifAnimation::Open(const std::string &path, int width, int height) {
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        return path + ": size " + std::to_string(width) + "x" + std::to_string(height) +
               " cannot be stored in a GIF";
    }
    state_ = std::make_unique<State>();
    state_->path = path;
    state_->temporary = TemporaryPathFor(path);
    state_->width = width;
    state_->height = height;
    int error = 0;
    state_->file = EGifOpenFileName(state_->temporary.c_str(), false, &error);
    if (!state_->file) {
        std::string message = GifError(path, error);
        state_.reset();
        return message;
    }
    EGifSetGifVersion(state_->file, true);
    return {};
}

std::string GifAnimation::AddFrame(const IndexedImage &image, int delayCentiseconds) {
    if (!state_ || !state_->file) return "GIF: no file open";
    State &s = *state_;
    if (image.width != s.width || image.height != s.height) {
        return s.path + ": frame size differs from the animation's";
    }
    const bool first = s.frames == 0;
    if (first) {
        s.global = image.colours;
        MapPtr map(MakeMap(s.global));
        if (EGifPutScreenDesc(s.file, s.width, s.height, kColourBits, 0, map.get()) == GIF_ERROR ||
            EGifPutExtensionLeader(s.file, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(s.file, 11, kLoopApplication) == GIF_ERROR ||
            EGifPutExtensionBlock(s.file, 3, kLoopForever) == GIF_ERROR ||
            EGifPutExtensionTrailer(s.file) == GIF_ERROR) {
            return GifError(s.path, s.file->Error);
        }
        s.shown.assign(static_cast<std::size_t>(s.width) * s.height, Rgb{});
    }

    // The box of pixels whose shown colour changes.
    int left = s.width, top = s.height, right = -1, bottom = -1;
    std::array<bool, 256> used{};
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * s.width + x;
            const Rgb colour = image.colours[image.pixels[i]];
            if (!first && colour == s.shown[i]) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) {  // nothing changed: one transparent pixel carries the delay
        left = top = right = bottom = 0;
    }
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            used[image.pixels[static_cast<std::size_t>(y) * s.width + x]] = true;
        }
    }
    int transparent = kNoTransparency;
    if (!first) {
        auto free = std::find(used.begin(), used.end(), false);
        if (free != used.end()) transparent = static_cast<int>(free - used.begin());
    }

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayCentiseconds;
    control.TransparentColor = transparent;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(s.file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR) {
        return GifError(s.path, s.file->Error);
    }

    const int w = right - left + 1;
    const int h = bottom - top + 1;
    MapPtr local;
    if (!first && image.colours != s.global) local.reset(MakeMap(image.colours));
    if (EGifPutImageDesc(s.file, left, top, w, h, false, local.get()) == GIF_ERROR) {
        return GifError(s.path, s.file->Error);
    }
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * s.width + x;
            const std::uint8_t index = image.pixels[i];
            const Rgb colour = image.colours[index];
            const bool keep = !first && transparent != kNoTransparency && colour == s.shown[i];
            line[static_cast<std::size_t>(x - left)] =
                keep ? static_cast<GifPixelType>(transparent) : index;
            s.shown[i] = colour;
        }
        if (EGifPutLine(s.file, line.data(), w) == GIF_ERROR) {
            return GifError(s.path, s.file->Error);
        }
    }
    ++s.frames;
    return {};
}

std::string GifAnimation::Finish() {
    if (!state_ || !state_->file) return "GIF: no file open";
    State &s = *state_;
    int error = 0;
    const int result = EGifCloseFile(s.file, &error);
    s.file = nullptr;
    if (result == GIF_ERROR) {
        std::remove(s.temporary.c_str());
        return GifError(s.path, error);
    }
    std::error_code ec;
    // The GIF library creates its files readable by their owner only.
    namespace fs = std::filesystem;
    fs::permissions(s.temporary, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                     fs::perms::others_read, ec);
    return CommitFile(s.path);
}

}  // namespace imageio
