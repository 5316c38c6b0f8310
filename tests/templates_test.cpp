// Sprite templates and pixel-exact hit testing.
#include "engine_fixture.h"

namespace anim::test {
namespace {

TEST(Templates, SlotsHandlesAndImagesCutFromSheets) {
    LeakCheck leaks;
    ScratchDir dir;
    Dib sheet = MakeDib(64, 32, [](int x, int y) { return uint8_t(x + y); });
    ASSERT_EQ(WriteDIB(dir.File("sheet.bmp").c_str(), sheet.get()), 1);
    Engine e;
    const int32_t missing = OpenSpriteTemplate(e, dir.File("none.bmp").c_str());
    EXPECT_EQ(Box({missing, AddSpriteDibFromTemplate(e, missing, 0, 0, 4, 4)}), Box({0, -1}));
    // The unread sheet's slot stays counted, and as it holds no sheet it is
    // the lowest free one again.
    const int32_t owned = OpenSpriteTemplate(e, dir.File("sheet.bmp").c_str());
    EXPECT_EQ(Box({owned, e->templateCount}), Box({0, 2}));
    for (int32_t t = 1; t < 15; ++t) ASSERT_EQ(AddSpriteTemplate(e, sheet.get()), t);
    EXPECT_EQ(AddSpriteTemplate(e, sheet.get()), -1);
    EXPECT_EQ(OpenSpriteTemplate(e, dir.File("sheet.bmp").c_str()), -1);

    const int32_t img = AddSpriteDibFromTemplate(e, owned, 32, 0, 16, 24);
    const auto &i = e->images[img];
    EXPECT_EQ(Box({i.left, i.top, i.width, i.height, i.isFramePixels}), Box({32, 0, 16, 24, 0}));
    EXPECT_EQ(i.data, e->templates[owned]);
    SetSpriteDibFromTemplate(e, 1, img, 1, 2, 3, 4);
    EXPECT_EQ(i.data, sheet.get());
    EXPECT_EQ(Box({i.left, i.top, i.width, i.height}), Box({1, 2, 3, 4}));

    // Handles are held against the number taken, not the table size.
    DeleteSpriteTemplate(e, 3);
    DeleteSpriteTemplate(e, 4);
    EXPECT_EQ(AddSpriteDibFromTemplate(e, 14, 0, 0, 1, 1), -1);
    SetSpriteDibFromTemplate(e, 14, img, 9, 9, 9, 9);
    SetSpriteDibFromTemplate(e, 1, 200, 9, 9, 9, 9);
    EXPECT_EQ(i.left, 1);
    for (int32_t bad : {-1, 16, 1 << 30}) {
        SetSpriteTemplate(e, bad, nullptr);
        DeleteSpriteTemplate(e, bad);
        CloseSpriteTemplate(e, bad);
        EXPECT_EQ(AddSpriteDibFromTemplate(e, bad, 0, 0, 1, 1), -1);
    }
    EXPECT_EQ(e->templateCount, 14);
    CloseSpriteTemplate(e, owned);  // the engine's own sheet goes
    EXPECT_EQ(e->templates[owned], nullptr);
}

TEST(Templates, HitTestFindsTheFrontMostOpaquePixel) {
    Engine e;
    ASSERT_EQ(MakeOffScreenDib(e, 100, 100), 0);
    // Opaque except column 2.
    Dib dib = MakeDib(10, 10, [](int x, int) { return uint8_t(x == 2 ? 0 : 5); });
    const int32_t img = AddSpriteDib(e, dib.get());
    const int32_t back = 0, front = 1, far = 2;  // the slots taken below
    for (auto [x, y, depth] : {std::tuple{10, 10, 5}, {12, 10, 3}, {50, 50, 32000}}) {
        const int32_t s = AddSprite(e);
        SetSpriteSpriteDib(e, s, img);
        ShowSprite(e, s, x, y, depth, -1);
    }
    auto at = [&](int32_t x, int32_t y) {
        int32_t hit = -7;
        const int32_t found = GetSpriteFromPoint(e, x, y, &hit);
        return Box({found, hit});
    };
    EXPECT_EQ(at(15, 15), Box({1, front}));
    EXPECT_EQ(at(14, 15), Box({1, back}));   // the front one is clear there
    EXPECT_EQ(at(21, 19), Box({1, front}));  // last column and row
    EXPECT_EQ(at(55, 55), Box({0, 0}));      // depth 32000 is never found
    HideSprite(e, front);
    EXPECT_EQ(at(15, 15), Box({1, back}));
    SetSpritePosition(e, far, 10, 10, 4, -1);
    EXPECT_EQ(at(15, 15), Box({1, far}));
    EXPECT_EQ(GetSpriteFromPoint(e, 90, 90, nullptr), 0);
}

}  // namespace
}  // namespace anim::test
