#include "art.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "game_palette.h"
#include "rng.h"

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;

using imageio::IndexedImage;

void Put(IndexedImage &img, int x, int y, std::uint8_t c) {
    if (x >= 0 && y >= 0 && x < img.width && y < img.height) img.At(x, y) = c;
}

void Fill(IndexedImage &img, int x0, int y0, int x1, int y1, std::uint8_t c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) Put(img, x, y, c);
}

void Ellipse(IndexedImage &img, double cx, double cy, double rx, double ry, std::uint8_t c) {
    for (int y = static_cast<int>(cy - ry - 1); y <= static_cast<int>(cy + ry + 1); ++y) {
        for (int x = static_cast<int>(cx - rx - 1); x <= static_cast<int>(cx + rx + 1); ++x) {
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) Put(img, x, y, c);
        }
    }
}

// A thick line whose colour is chosen per pixel row (legs and arms change
// colour from skin to sock to boot as they go down).
template <typename ColourAt>
void Limb(IndexedImage &img, double x0, double y0, double x1, double y1, double thickness,
          ColourAt colour_at) {
    const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0)) * 2) + 1;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        for (int dx = 0; dx < static_cast<int>(thickness); ++dx) {
            const int px = static_cast<int>(std::lround(x - thickness / 2 + dx));
            const int py = static_cast<int>(std::lround(y));
            Put(img, px, py, colour_at(py, dx));
        }
    }
}

void Circle(IndexedImage &img, int cx, int cy, int r, std::uint8_t c) {
    for (int a = 0; a < 720; ++a) {
        const double t = a * kPi / 360.0;
        const int x = cx + static_cast<int>(std::lround(r * std::cos(t)));
        const int y = cy + static_cast<int>(std::lround(r * std::sin(t)));
        Put(img, x, y, c);
        Put(img, x + 1, y, c);
    }
}

struct ViewShape {
    double side;       // 0 facing the camera or away, 1 in profile
    bool face;         // the face shows
    double halfWidth;  // of the torso, from the centre line
};

// The three-quarter views keep a shirt only a little narrower than the front
// view's: the shirt number needs 15 columns of shirt.
ViewShape Shape(View v) {
    switch (v) {
        case View::kFront: return {0.0, true, 7.0};
        case View::kFrontRight: return {0.55, true, 6.6};
        case View::kRight: return {1.0, true, 4.4};
        case View::kBackRight: return {0.55, false, 6.6};
        case View::kBack: return {0.0, false, 7.0};
    }
    return {0.0, true, 7.0};
}

constexpr int kTorsoTop = 17;
constexpr int kTorsoBottom = 32;
constexpr int kHipY = 38;

void DrawPlayer(IndexedImage &cell, View view, int pose) {
    const ViewShape s = Shape(view);
    const double cx = kFootX;
    const double hw = s.halfWidth;
    const bool standing = pose == kStandPose;
    // Stride: +1 left leg forward, -1 right leg forward, 0 passing.
    const int stride = standing ? 0 : (pose == 0 ? 1 : pose == 2 ? -1 : 0);
    const bool passing = !standing && stride == 0;

    // Shadow on the grass under the feet.
    Ellipse(cell, cx, kFootY, 8.5 - 2 * s.side + 2 * s.side, 1.6, kShadow);

    // Legs: back leg first.
    auto leg_colour = [](int y, int dx) -> std::uint8_t {
        if (y >= kFootY - 2) return kBoot;
        if (y >= 45) return static_cast<std::uint8_t>(kKitA + (dx == 0 ? kSocksDark : kSocks));
        return static_cast<std::uint8_t>(kSkin + (dx == 0 ? 1 : 0));
    };
    for (int leg = 0; leg < 2; ++leg) {
        const int sign = leg == 0 ? -1 : 1;  // -1 left leg, +1 right leg
        const double hip_x = cx + sign * 3.0 * (1.0 - s.side);
        const int forward = -sign * stride;  // this leg's share of the stride
        double foot_x = hip_x + forward * 7.0 * s.side;
        double foot_y = kFootY;
        if (s.side < 0.5 && forward < 0) foot_y -= 4;           // back leg lifted toward/away
        if (passing && leg == 1) foot_y -= 4, foot_x -= 2 * s.side;  // knee up
        Limb(cell, hip_x, kHipY, foot_x, foot_y, 3.2 - s.side * 0.4, leg_colour);
        Fill(cell, static_cast<int>(foot_x) - 1, static_cast<int>(foot_y) - 1,
             static_cast<int>(foot_x) + 1 + static_cast<int>(2 * s.side), static_cast<int>(foot_y), kBoot);
    }

    // Shorts.
    Fill(cell, static_cast<int>(cx - hw + 0.5), kTorsoBottom + 1, static_cast<int>(cx + hw - 0.5), kHipY,
         kKitA + kShortsLight);
    for (int y = kTorsoBottom + 1; y <= kHipY; ++y) Put(cell, static_cast<int>(cx + hw - 0.5), y, kKitA + kShortsDark);
    if (s.side < 0.5) Fill(cell, static_cast<int>(cx), kHipY - 2, static_cast<int>(cx), kHipY, kKitA + kShortsDark);

    // Arms behind the torso in profile, beside it otherwise.
    const double swing = standing ? 0.0 : stride * 4.0;
    auto arm_colour = [](int y, int) -> std::uint8_t {
        return y < 24 ? static_cast<std::uint8_t>(kKitA + kShirtDark) : static_cast<std::uint8_t>(kSkin);
    };
    for (int arm = 0; arm < 2; ++arm) {
        const int sign = arm == 0 ? -1 : 1;
        const double sx = cx + sign * (hw + 0.8) * (1.0 - 0.6 * s.side);
        const double hand_x = sx + sign * 1.0 + swing * sign * s.side;
        const double hand_y = 30 - (standing ? 0 : std::abs(stride) * (s.side < 0.5 ? 2 * sign * stride : 0));
        Limb(cell, sx, kTorsoTop + 1, hand_x, hand_y, 2.2, arm_colour);
    }

    // Torso, lit from the left.
    for (int y = kTorsoTop; y <= kTorsoBottom; ++y) {
        const int x0 = static_cast<int>(std::lround(cx - hw)), x1 = static_cast<int>(std::lround(cx + hw));
        for (int x = x0; x <= x1; ++x) {
            if (y == kTorsoTop && (x == x0 || x == x1)) continue;  // round shoulders
            std::uint8_t c = kKitA + kShirtMid;
            if (x <= x0 + 1) c = kKitA + kShirtLight;
            if (x >= x1 - 1) c = kKitA + kShirtDark;
            Put(cell, x, y, c);
        }
    }
    Fill(cell, static_cast<int>(cx - hw + 1), kTorsoBottom, static_cast<int>(cx + hw - 1), kTorsoBottom,
         kKitA + kTrim);

    // Neck, head, hair, face.
    const double head_x = cx + 1.2 * s.side;
    Fill(cell, static_cast<int>(cx) - 1, 14, static_cast<int>(cx) + 1, kTorsoTop, kSkin + 1);
    Ellipse(cell, head_x, 10, 4.2, 5.0, kSkin);
    if (s.face) {
        Ellipse(cell, head_x - 1.5 * s.side, 7, 4.2, 2.2, kHair);
        if (s.side < 0.3) {
            Put(cell, static_cast<int>(head_x) - 2, 10, kOutline);
            Put(cell, static_cast<int>(head_x) + 2, 10, kOutline);
        } else {
            Put(cell, static_cast<int>(head_x) + 2, 10, kOutline);
            Ellipse(cell, head_x - 3, 9, 1.6, 3.5, kHair);
        }
    } else {
        Ellipse(cell, head_x, 9, 4.4, 4.6, kHair);
    }
}

// Seven-segment digits drawn in the segment colours: left digit in
// 1,4,2,3,5,7,6 and right digit in 9,8,246,247,248,250,249 for top, upper
// left, upper right, middle, lower left, lower right and bottom.
constexpr std::array<std::uint8_t, 7> kLeftSegments = {1, 4, 2, 3, 5, 7, 6};
constexpr std::array<std::uint8_t, 7> kRightSegments = {9, 8, 246, 247, 248, 250, 249};

// Players are scaled by dropping whole rows and columns. Above half size no
// two neighbouring rows or columns are both dropped, so strokes two pixels
// thick and gaps two pixels wide between strokes that must stay apart keep
// at least one pixel each at every scale the match uses: a 6 keeps its
// lower-left stroke, and an 8 never closes into a blob.
constexpr int kStroke = 2;
constexpr int kGap = 2;
constexpr int kDigitWidth = kStroke + kGap + kStroke;
constexpr int kVerticalRows = 3;  // of a side stroke between two bars
static_assert(kNumberWidth == 2 * kDigitWidth + kGap);
static_assert(kNumberHeight == 3 * kStroke + 2 * kVerticalRows);
static_assert(kSmallestScale > 50, "a dropped row or column must never have a dropped neighbour");

// Bars span the digit's width; side strokes run from bar to bar and share
// the middle bar's rows (its upper row goes to the upper strokes, its lower
// row to the lower ones), so that a 1 or a 7 is one unbroken stroke.
void DrawDigitSegments(IndexedImage &img, int x0, int y0, const std::array<std::uint8_t, 7> &seg) {
    const int right = x0 + kDigitWidth - kStroke;
    const int middle = y0 + kStroke + kVerticalRows;
    const int bottom = middle + kStroke + kVerticalRows;
    const int inner = x0 + kStroke;  // the middle bar lies between the side strokes
    Fill(img, x0, y0, x0 + kDigitWidth - 1, y0 + kStroke - 1, seg[0]);           // top
    Fill(img, x0, y0 + kStroke, x0 + kStroke - 1, middle, seg[1]);                // upper left
    Fill(img, right, y0 + kStroke, right + kStroke - 1, middle, seg[2]);          // upper right
    Fill(img, inner, middle, inner + kGap - 1, middle + kStroke - 1, seg[3]);     // middle
    Fill(img, x0, middle + 1, x0 + kStroke - 1, bottom - 1, seg[4]);              // lower left
    Fill(img, right, middle + 1, right + kStroke - 1, bottom - 1, seg[5]);        // lower right
    Fill(img, x0, bottom, x0 + kDigitWidth - 1, bottom + kStroke - 1, seg[6]);    // bottom
}

constexpr std::uint8_t kGridMark = kBoardEdge;

IndexedImage EmptySheet() {
    IndexedImage sheet(kCellWidth * kPosesPerView, kCellHeight * kViewCount, 0);
    sheet.colours = GamePalette();
    for (int v = 0; v < kViewCount; ++v)
        for (int p = 0; p < kPosesPerView; ++p) sheet.At(p * kCellWidth, v * kCellHeight) = kGridMark;
    return sheet;
}

// Scoreboard digits: 7 x 13 segments.
constexpr std::array<std::uint8_t, 10> kDigitSegments = {0x77, 0x24, 0x5d, 0x6d, 0x2e,
                                                         0x6b, 0x7b, 0x25, 0x7f, 0x6f};

void BoardDigit(IndexedImage &img, int x0, int y0, int digit) {
    const std::uint8_t bits = kDigitSegments[static_cast<std::size_t>(digit % 10)];
    auto on = [&](int bit) { return (bits >> bit) & 1 ? kBoardDigit : kBoardDim; };
    Fill(img, x0 + 1, y0, x0 + 5, y0 + 1, on(0));
    Fill(img, x0, y0 + 1, x0 + 1, y0 + 6, on(1));
    Fill(img, x0 + 5, y0 + 1, x0 + 6, y0 + 6, on(2));
    Fill(img, x0 + 1, y0 + 6, x0 + 5, y0 + 7, on(3));
    Fill(img, x0, y0 + 7, x0 + 1, y0 + 12, on(4));
    Fill(img, x0 + 5, y0 + 7, x0 + 6, y0 + 12, on(5));
    Fill(img, x0 + 1, y0 + 12, x0 + 5, y0 + 13, on(6));
}

}  // namespace

bool ViewHasNumber(View view) { return view != View::kRight; }

int NumberLeft(View view) {
    // The three-quarter views turn the shirt a little to one side.
    switch (view) {
        case View::kFrontRight: return kFootX - kNumberWidth / 2 + 1;
        default: return kFootX - kNumberWidth / 2;
    }
}

IndexedImage DrawPitch(std::uint32_t seed) {
    Rng rng(seed);
    IndexedImage img(kSceneWidth, kSceneHeight, kGrassLight);
    img.colours = GamePalette();

    // Roof and stands with the crowd, tier by tier.
    constexpr int kRoofBottom = 14;
    constexpr int kStandsBottom = 96;
    for (int y = 0; y < kRoofBottom; ++y) Fill(img, 0, y, kSceneWidth - 1, y, static_cast<std::uint8_t>(kSky + y));
    for (int y = kRoofBottom; y < kStandsBottom; y += 6) {
        const int tier = (y - kRoofBottom) / 6;
        Fill(img, 0, y, kSceneWidth - 1, y, static_cast<std::uint8_t>(kConcrete + 2 + tier % 3));
        Fill(img, 0, y + 1, kSceneWidth - 1, y + 5, static_cast<std::uint8_t>(kConcrete + tier % 2));
        for (int x = rng.Below(3); x < kSceneWidth - 2; x += 3 + rng.Below(2)) {
            if (rng.Below(9) == 0) continue;  // an empty seat
            const auto shirt = static_cast<std::uint8_t>(kCrowd + rng.Below(kCrowdCount));
            const auto skin = static_cast<std::uint8_t>(kSkin + rng.Below(4));
            Fill(img, x, y + 1, x + 1, y + 2, skin);
            Fill(img, x, y + 3, x + 1, y + 5, shirt);
        }
    }
    // Advertising hoardings.
    for (int x = 0, panel = 0; x < kSceneWidth; x += 64, ++panel) {
        const auto base = static_cast<std::uint8_t>(kAdverts + panel % 8);
        const auto text = static_cast<std::uint8_t>(kAdverts + (panel + 3) % 8);
        Fill(img, x, kStandsBottom, x + 63, kStandsBottom + 9, base);
        for (int k = 0; k < 5; ++k) Fill(img, x + 10 + k * 9, kStandsBottom + 3, x + 15 + k * 9, kStandsBottom + 6, text);
        Fill(img, x + 63, kStandsBottom, x + 63, kStandsBottom + 9, kConcrete);
    }

    // Grass: mown stripes, lightly textured.
    constexpr int kStripe = 42;
    for (int y = kStandsBottom + 10; y < kSceneHeight; ++y) {
        for (int x = 0; x < kSceneWidth; ++x) {
            const bool dark = ((x - kPitchLeft + 1000 * kStripe) / kStripe) % 2 == 1;
            const int shade = rng.Below(7) == 0 ? 1 + rng.Below(3) : 0;
            img.At(x, y) = static_cast<std::uint8_t>((dark ? kGrassDark : kGrassLight) + shade);
        }
    }

    // Markings, two pixels wide.
    auto hline = [&](int x0, int x1, int y) { Fill(img, x0, y, x1, y + 1, kLine); };
    auto vline = [&](int x, int y0, int y1) { Fill(img, x, y0, x + 1, y1, kLine); };
    hline(kPitchLeft, kPitchRight + 1, kPitchTop);
    hline(kPitchLeft, kPitchRight + 1, kPitchBottom);
    vline(kPitchLeft, kPitchTop, kPitchBottom + 1);
    vline(kPitchRight, kPitchTop, kPitchBottom + 1);
    const int mid_x = (kPitchLeft + kPitchRight) / 2;
    const int mid_y = (kPitchTop + kPitchBottom) / 2;
    vline(mid_x, kPitchTop, kPitchBottom);
    Circle(img, mid_x, mid_y, 52, kLine);
    Fill(img, mid_x - 1, mid_y - 1, mid_x + 2, mid_y + 2, kLine);
    for (int side = 0; side < 2; ++side) {
        const int edge = side == 0 ? kPitchLeft : kPitchRight;
        const int dir = side == 0 ? 1 : -1;
        const int box = edge + dir * 88, small = edge + dir * 30, spot = edge + dir * 62;
        hline(std::min(edge, box), std::max(edge, box), mid_y - 82);
        hline(std::min(edge, box), std::max(edge, box), mid_y + 82);
        vline(box, mid_y - 82, mid_y + 83);
        hline(std::min(edge, small), std::max(edge, small), mid_y - 42);
        hline(std::min(edge, small), std::max(edge, small), mid_y + 42);
        vline(small, mid_y - 42, mid_y + 43);
        Fill(img, spot - 1, mid_y - 1, spot + 1, mid_y + 1, kLine);
        // Goal: net behind the line, posts on it.
        const int back = edge - dir * 14;
        for (int y = kGoalTop; y <= kGoalBottom; ++y) {
            for (int x = std::min(edge, back); x <= std::max(edge, back); ++x) {
                if ((x + y) % 3 == 0 || (x - y) % 3 == 0) img.At(x, y) = kNet;
            }
        }
        Fill(img, std::min(edge, back), kGoalTop - 1, std::max(edge, back), kGoalTop, kPost);
        Fill(img, std::min(edge, back), kGoalBottom, std::max(edge, back), kGoalBottom + 1, kPost);
    }
    return img;
}

IndexedImage DrawPlayerSheet() {
    IndexedImage sheet = EmptySheet();
    for (int v = 0; v < kViewCount; ++v) {
        for (int p = 0; p < kPosesPerView; ++p) {
            IndexedImage cell(kCellWidth, kCellHeight, 0);
            DrawPlayer(cell, static_cast<View>(v), p);
            for (int y = 0; y < kCellHeight; ++y)
                for (int x = 0; x < kCellWidth; ++x) {
                    if (x == 0 && y == 0) continue;
                    sheet.At(p * kCellWidth + x, v * kCellHeight + y) = cell.At(x, y);
                }
        }
    }
    return sheet;
}

IndexedImage DrawNumberSheet() {
    IndexedImage sheet = EmptySheet();
    for (int v = 0; v < kViewCount; ++v) {
        const View view = static_cast<View>(v);
        if (!ViewHasNumber(view)) continue;
        for (int p = 0; p < kPosesPerView; ++p) {
            const int x0 = p * kCellWidth + NumberLeft(view);
            const int y0 = v * kCellHeight + kNumberTop;
            DrawDigitSegments(sheet, x0, y0, kLeftSegments);
            DrawDigitSegments(sheet, x0 + kDigitWidth + kGap, y0, kRightSegments);
        }
    }
    return sheet;
}

IndexedImage DrawBall() {
    IndexedImage ball(kBallSize, kBallSize, 0);
    ball.colours = GamePalette();
    Ellipse(ball, 3.5, 3.5, 3.6, 3.6, kBallWhite);
    for (int y = 0; y < kBallSize; ++y)
        for (int x = 0; x < kBallSize; ++x)
            if (ball.At(x, y) && x + y >= 9) ball.At(x, y) = kBallGrey;
    Put(ball, 3, 3, kBallDark);
    Put(ball, 4, 3, kBallDark);
    Put(ball, 3, 4, kBallDark);
    Put(ball, 1, 5, kBallDark);
    Put(ball, 6, 2, kBallDark);
    return ball;
}

IndexedImage DrawScoreboard(int home, int away, int half) {
    IndexedImage b(kBoardWidth, kBoardHeight, kBoardPanel);
    b.colours = GamePalette();
    // A ring of lights; cycling their colours makes them chase round.
    int i = 0;
    auto light = [&](int x, int y) {
        Fill(b, x, y, x + 1, y + 1, static_cast<std::uint8_t>(kLights + (i / 2) % kLightCount));
        ++i;
    };
    for (int x = 0; x < kBoardWidth; x += 2) light(x, 0);
    for (int y = 2; y < kBoardHeight - 2; y += 2) light(kBoardWidth - 2, y);
    for (int x = kBoardWidth - 2; x >= 0; x -= 2) light(x, kBoardHeight - 2);
    for (int y = kBoardHeight - 4; y >= 2; y -= 2) light(0, y);
    Fill(b, 3, 3, kBoardWidth - 4, 3, kBoardEdge);
    // Team swatches, scores, and a dot per half played.
    Fill(b, 10, 9, 25, 20, kKitA + kShirtMid);
    Fill(b, kBoardWidth - 26, 9, kBoardWidth - 11, 20, kKitB + kShirtMid);
    const int mid = kBoardWidth / 2;
    BoardDigit(b, mid - 30, 8, home / 10);
    BoardDigit(b, mid - 20, 8, home);
    Fill(b, mid - 3, 14, mid + 2, 15, kBoardDigit);
    BoardDigit(b, mid + 12, 8, away / 10);
    BoardDigit(b, mid + 22, 8, away);
    for (int h = 0; h < 2; ++h) Fill(b, mid - 4 + h * 6, 23, mid - 2 + h * 6, 24, h < half ? kBoardDigit : kBoardDim);
    return b;
}

IndexedImage DrawFlag(int phase) {
    IndexedImage flag(kFlagWidth, kFlagHeight, 0);
    flag.colours = GamePalette();
    Fill(flag, 0, 0, 1, kFlagHeight - 1, kConcrete + 6);  // the pole
    constexpr int kClothTop = 2;
    constexpr int kClothHeight = 18;
    for (int x = 2; x < kFlagWidth; ++x) {
        // The wave grows toward the free end.
        const double t = 2 * kPi * (x / 24.0 - static_cast<double>(phase) / kFlagFrames);
        const int dy = static_cast<int>(std::lround(std::sin(t) * 2.5 * x / kFlagWidth));
        const bool lit = std::cos(t) > 0.3;
        for (int y = 0; y < kClothHeight; ++y) {
            const bool stripe = (y / 6) % 2 == 1;
            const std::uint8_t c = stripe ? (lit ? kAdverts + 1 : kConcrete + 7) : (lit ? kAdverts + 0 : kAdverts + 5);
            Put(flag, x, kClothTop + y + dy + 2, c);
        }
    }
    return flag;
}

IndexedImage DrawMarker() {
    IndexedImage m(kMarkerWidth, kMarkerHeight, 0);
    m.colours = GamePalette();
    for (int y = 0; y < kMarkerHeight; ++y) {
        const int half = (kMarkerHeight - 1 - y) * (kMarkerWidth / 2) / (kMarkerHeight - 1);
        Fill(m, kMarkerWidth / 2 - half, y, kMarkerWidth / 2 + half, y, kMarker);
    }
    return m;
}

}  // namespace demo
