// The GIF and PNG writers: what a viewer shows after each GIF frame must be
// exactly the picture handed in, in the colours handed in, although only
// the changed area is stored and colour tables change between frames.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <vector>

#include "gif_file.h"
#include "png_file.h"
#include "test_support.h"

namespace {

using imageio::IndexedImage;
using imageio::Rgb;
using anim::test::ScratchDir;

std::vector<Rgb> Shown(const IndexedImage &img) {
    std::vector<Rgb> out;
    for (std::uint8_t p : img.pixels) out.push_back(img.colours[p]);
    return out;
}

// Plays a GIF file back the way a viewer does (frames drawn over the
// previous ones, transparent pixels left) and returns every frame's picture.
std::vector<std::vector<Rgb>> PlayBack(const std::string &path, int &width, int &height) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr);
    std::vector<std::vector<Rgb>> frames;
    if (!gif) return frames;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    width = gif->SWidth;
    height = gif->SHeight;
    std::vector<Rgb> canvas(static_cast<std::size_t>(width) * height);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const GifImageDesc &d = image.ImageDesc;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) continue;
                const GifColorType c = map->Colors[index];
                canvas[static_cast<std::size_t>(d.Top + y) * width + d.Left + x] = Rgb{c.Red, c.Green, c.Blue};
            }
        frames.push_back(canvas);
    }
    DGifCloseFile(gif, &error);
    return frames;
}

IndexedImage Ramp(int w, int h) {
    IndexedImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = static_cast<std::uint8_t>((x + 3 * y) % 7 + 1);
    for (int i = 0; i < 256; ++i) img.colours[static_cast<std::size_t>(i)] = Rgb{static_cast<std::uint8_t>(i * 3), 40, static_cast<std::uint8_t>(255 - i)};
    return img;
}

TEST(GifAnimation, ViewerSeesEveryFrameAsHandedInAndNothingUnfinishedIsLeft) {
    ScratchDir dir;
    std::vector<IndexedImage> pictures{Ramp(32, 24)};
    pictures.push_back(pictures.back());  // a small square changes
    for (int y = 5; y < 9; ++y)
        for (int x = 10; x < 14; ++x) pictures.back().At(x, y) = 200;
    pictures.push_back(pictures.back());  // nothing changes
    pictures.push_back(pictures.back());  // same indices, colours of index 3 changed: every 3 pixel must be resent
    pictures.back().colours[3] = Rgb{1, 2, 3};
    pictures.push_back(pictures.back());  // every index in the changed area: no transparent index left
    for (int i = 0; i < 256; ++i) pictures.back().pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

    imageio::GifAnimation gif;
    EXPECT_NE(gif.Open(dir.File("z.gif"), 0, 10), "");
    EXPECT_NE(gif.Open(dir.File("z.gif"), 70000, 10), "");
    ASSERT_EQ(gif.Open(dir.File("t.gif"), 32, 24), "");
    for (const IndexedImage &p : pictures) ASSERT_EQ(gif.AddFrame(p, 3), "");
    EXPECT_NE(gif.AddFrame(Ramp(8, 8), 3), "") << "a frame of another size must be refused";
    ASSERT_EQ(gif.Finish(), "");
    int w = 0, h = 0;
    auto frames = PlayBack(dir.File("t.gif"), w, h);
    ASSERT_EQ(frames.size(), pictures.size());
    EXPECT_EQ(w * 1000 + h, 32 * 1000 + 24);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(frames[i] == Shown(pictures[i])) << "frame " << i << " differs";
    {
        imageio::GifAnimation unfinished;
        ASSERT_EQ(unfinished.Open(dir.File("u.gif"), 4, 4), "");
        ASSERT_EQ(unfinished.AddFrame(Ramp(4, 4), 3), "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("u.gif")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("u.gif.part")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("z.gif")));
}

// Colours and indices come back exactly, and index 0 is transparent only
// when asked (contact sheets ask; the demo's pictures do not).
TEST(PngFile, ColoursAndIndicesComeBackExactly) {
    ScratchDir dir;
    const IndexedImage img = Ramp(17, 9);
    for (const auto transparency : {imageio::Transparency::kNone, imageio::Transparency::kIndexZero}) {
        ASSERT_EQ(imageio::WritePng(dir.File("p.png"), img, transparency), "");
        int w = 0, h = 0;
        std::vector<Rgb> shown;
        ASSERT_EQ(imageio::ReadPngColours(dir.File("p.png"), w, h, shown), "");
        EXPECT_EQ(w * 1000 + h, 17 * 1000 + 9);
        EXPECT_TRUE(shown == Shown(img));
        IndexedImage back;
        imageio::PngForm form;
        ASSERT_EQ(imageio::ReadIndexedPng(anim::test::ReadFileBytes(dir.File("p.png")), "p.png", back, &form), "");
        EXPECT_EQ(back.pixels, img.pixels);
        EXPECT_EQ(back.colours, img.colours);
        EXPECT_EQ(form.transparent, transparency == imageio::Transparency::kIndexZero ? std::vector<int>{0} : std::vector<int>{});
    }
    EXPECT_NE(imageio::WritePng(dir.File("none.png"), IndexedImage{}), "");
    int w = 0, h = 0;
    std::vector<Rgb> back;
    EXPECT_NE(imageio::ReadPngColours(dir.File("missing.png"), w, h, back), "");
}

}  // namespace
