// The GIF writer: what a viewer shows after each frame must be exactly the
// picture handed in, in the colours handed in, although only the changed
// area is stored and colour tables change between frames. (The PNG writer
// is held by the png_read fuzz target, which writes back every picture it
// reads.)
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <vector>

#include "gif_file.h"
#include "test_support.h"

namespace {

using imageio::IndexedImage;
using imageio::Rgb;

std::vector<Rgb> Shown(const IndexedImage &img) {
    std::vector<Rgb> out;
    for (std::uint8_t p : img.pixels) out.push_back(img.colours[p]);
    return out;
}

// Plays a 32 x 24 GIF file back the way a viewer does (frames drawn over the
// previous ones, transparent pixels left) and returns every frame's picture.
std::vector<std::vector<Rgb>> PlayBack(const std::string &path) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_TRUE(gif != nullptr && DGifSlurp(gif) == GIF_OK && gif->SWidth == 32 && gif->SHeight == 24);
    std::vector<Rgb> canvas(32 * 24);
    std::vector<std::vector<Rgb>> frames;
    for (int i = 0; gif != nullptr && i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const GifImageDesc &d = image.ImageDesc;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                const GifColorType c = map->Colors[index];
                if (index != control.TransparentColor) canvas[static_cast<std::size_t>((d.Top + y) * 32 + d.Left + x)] = Rgb{c.Red, c.Green, c.Blue};
            }
        frames.push_back(canvas);
    }
    DGifCloseFile(gif, &error);
    return frames;
}

TEST(GifAnimation, ViewerSeesEveryFrameAsHandedInAndNothingUnfinishedIsLeft) {
    IndexedImage ramp(32, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) ramp.At(x, y) = static_cast<std::uint8_t>((x + 3 * y) % 7 + 1);
    for (int i = 0; i < 256; ++i) ramp.colours[static_cast<std::size_t>(i)] = Rgb{static_cast<std::uint8_t>(i * 3), 40, static_cast<std::uint8_t>(255 - i)};
    std::vector<IndexedImage> pictures{ramp, ramp};  // a small square changes
    for (int y = 5; y < 9; ++y)
        for (int x = 10; x < 14; ++x) pictures.back().At(x, y) = 200;
    pictures.push_back(pictures.back());  // nothing changes
    pictures.push_back(pictures.back());  // same indices, colours of index 3 changed: every 3 pixel must be resent
    pictures.back().colours[3] = Rgb{1, 2, 3};
    pictures.push_back(pictures.back());  // every index in the changed area: no transparent index left
    for (int i = 0; i < 256; ++i) pictures.back().pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

    anim::test::ScratchDir dir;
    imageio::GifAnimation gif;
    EXPECT_NE(gif.Open(dir.File("t.gif"), 0, 10), "");
    EXPECT_NE(gif.Open(dir.File("t.gif"), 70000, 10), "");
    ASSERT_EQ(gif.Open(dir.File("t.gif"), 32, 24), "");
    for (const IndexedImage &p : pictures) ASSERT_EQ(gif.AddFrame(p, 3), "");
    EXPECT_NE(gif.AddFrame(IndexedImage(8, 8), 3), "") << "a frame of another size must be refused";
    EXPECT_FALSE(std::filesystem::exists(dir.File("t.gif"))) << "an unfinished file under its name";
    ASSERT_EQ(gif.Finish(), "");
    const auto frames = PlayBack(dir.File("t.gif"));
    ASSERT_EQ(frames.size(), pictures.size());
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(frames[i] == Shown(pictures[i])) << "frame " << i << " differs";
    {
        imageio::GifAnimation unfinished;
        ASSERT_EQ(unfinished.Open(dir.File("u.gif"), 4, 4), "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("u.gif.part"))) << "an abandoned file leaves its temporary";
}

}  // namespace
