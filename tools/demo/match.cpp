#include "match.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "game_palette.h"

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int32_t kMaxAnimObjects = 32;
constexpr std::int32_t kMaxSequences = 16;
constexpr std::int32_t kMaxMultiAnims = 2;

// Depths: nearer the camera (lower on the screen) is nearer the front;
// the board and the highlight sit in front of everything. Nothing is drawn
// at depth 0, where the paint counter listens.
constexpr std::int32_t kFarDepth = 10000;
constexpr std::int32_t kBoardDepth = 1;
constexpr std::int32_t kMarkerDepth = 2;
constexpr std::int32_t kCounterDepth = 0;

constexpr int kBoardX = (kSceneWidth - kBoardWidth) / 2;
constexpr int kBoardY = 3;

constexpr int kFadeEvery = 2;     // frames per fade step at kick-off
constexpr int kFadeLevels = 15;
constexpr int kCycleEvery = 3;    // frames per step of the board's lights
constexpr int kAnimEvery = 3;     // frames per run-cycle frame
constexpr int kWipeEffect = 4;    // left to right
constexpr int kRestartPause = 24;
constexpr int kFlagEvery = 3;  // frames per flag frame
// Flags in the stands, either side of the board, behind everything.
constexpr std::array<std::array<int, 2>, 2> kFlagPlaces = {{{70, 30}, {524, 30}}};
constexpr std::int32_t kFlagDepth = 20000;

constexpr double kRunSpeed = 2.0;
constexpr double kChaseSpeed = 2.5;
constexpr double kBallFriction = 0.955;
constexpr double kKickReach = 7.0;
constexpr double kShootingRange = 190.0;

Match *g_painting = nullptr;  // the match whose paint is running (one thread)

// Formation spots of one team: along the attack (0 own goal line, 1 the
// other's) and across the pitch (0 top touchline, 1 bottom).
constexpr std::array<std::array<double, 2>, kPlayersPerTeam> kFormation = {{
    {0.03, 0.50},
    {0.20, 0.15}, {0.18, 0.38}, {0.18, 0.62}, {0.20, 0.85},
    {0.40, 0.12}, {0.38, 0.38}, {0.38, 0.62}, {0.40, 0.88},
    {0.58, 0.35}, {0.58, 0.65},
}};

// side 0 defends the left goal, side 1 the right one.
double PitchX(int side, double u) {
    const double along = u * (kPitchRight - kPitchLeft);
    return side == 0 ? kPitchLeft + along : kPitchRight - along;
}
double PitchY(double v) { return kPitchTop + v * (kPitchBottom - kPitchTop); }

// Which drawn view and mirroring show each of the eight directions.
struct Facing {
    View view;
    bool mirror;
};
constexpr std::array<Facing, 8> kFacings = {{
    {View::kRight, false},      // east
    {View::kFrontRight, false}, // south-east
    {View::kFront, false},      // south
    {View::kFrontRight, true},  // south-west
    {View::kRight, true},       // west
    {View::kBackRight, true},   // north-west
    {View::kBack, false},       // north
    {View::kBackRight, false},  // north-east
}};

int Direction(double dx, double dy) {
    const double a = std::atan2(dy, dx);
    int d = static_cast<int>(std::lround(a / (kPi / 4)));
    return ((d % 8) + 8) % 8;
}

BITMAPINFOHEADER *ToDib(const imageio::IndexedImage &img) {
    BITMAPINFOHEADER *dib = CreateDIB(img.width, img.height);
    if (!dib) return nullptr;
    for (int y = 0; y < img.height; ++y) {
        std::memcpy(GetDIBPixelAddress(dib, 0, y), img.Row(y), static_cast<std::size_t>(img.width));
    }
    return dib;
}

void CopyInto(BITMAPINFOHEADER *dib, const imageio::IndexedImage &img) {
    for (int y = 0; y < img.height; ++y) {
        std::memcpy(GetDIBPixelAddress(dib, 0, y), img.Row(y), static_cast<std::size_t>(img.width));
    }
}

}  // namespace

Match::Match() = default;

Match::~Match() {
    if (engine_) {
        UnregisterAllDrawCallbacks(engine_);
        TerminateProjector(engine_);
        TerminateAnimate(engine_);
        FREE(engine_);
    }
    AnimDestroyWindowDC(window_);
    AnimDestroyWindowDC(scratch_);
    DeleteDIB(ballDib_);
    DeleteDIB(boardDib_);
    DeleteDIB(markerDib_);
    if (g_painting == this) g_painting = nullptr;
}

std::string Match::Start(const Assets &assets, std::uint32_t seed, int totalFrames) {
    rng_ = Rng(seed * 2654435761u + 1);
    totalFrames_ = totalFrames;
    engine_ = InitAnimate();
    if (!engine_) return "the engine could not be started";
    if (!InitProjector(engine_, kMaxAnimObjects, kMaxSequences, kMaxMultiAnims)) {
        return "the projector's tables could not be made";
    }
    if (!SetBackground(engine_, assets.pitch.c_str())) return assets.pitch + ": background not loaded";
    window_ = AnimCreateWindowDC(kSceneWidth, kSceneHeight);
    scratch_ = AnimCreateWindowDC(kSceneWidth, kSceneHeight);
    if (!window_ || !scratch_) return "no window could be made";
    SetPalette(engine_, window_);
    // Kick-off fades in from black.
    SetBlacknessFade(engine_, 0);

    // The second team is the first team's frames through a table whose kit
    // colours are moved up to the second kit.
    DupKOVRLETableSetup(engine_, kKitA, kKitCount, kKitCount);
    animHandle_ = LoadMultiAnim(engine_, assets.anim.c_str(), assets.ids.data(),
                                static_cast<std::int32_t>(assets.ids.size()), 2, ANIM_LOAD_PLAYER_NUMBERS);
    if (animHandle_ < 0) return assets.anim + ": not loaded";
    SetPlayerNumbersTeamColor(engine_, 0, kNumberA);
    SetPlayerNumbersTeamColor(engine_, 1, kNumberB);

    for (int i = 0; i < kPlayers; ++i) {
        Player &p = players_[static_cast<std::size_t>(i)];
        p.team = i / kPlayersPerTeam;
        p.shirt = i % kPlayersPerTeam + 1;
        p.homeU = kFormation[static_cast<std::size_t>(i % kPlayersPerTeam)][0];
        p.homeV = kFormation[static_cast<std::size_t>(i % kPlayersPerTeam)][1];
        p.object = GetAnimObject(engine_);
        if (p.object < 0) return "no anim object for player " + std::to_string(i);
        SetAnimObjectPlayerNumber(engine_, p.object, p.shirt, 1);
    }

    for (std::size_t f = 0; f < flags_.size(); ++f) {
        flags_[f] = GetAnimObject(engine_);
        if (flags_[f] < 0 || !SetAnimObjectAnim(engine_, flags_[f], kFlagId, 0, 0)) return "the flag cannot be played";
    }

    ballDib_ = ToDib(DrawBall());
    boardDib_ = ToDib(DrawScoreboard(0, 0, 1));
    markerDib_ = ToDib(DrawMarker());
    if (!ballDib_ || !boardDib_ || !markerDib_) return "sprite pictures could not be made";
    auto sprite_for = [&](BITMAPINFOHEADER *dib) {
        const std::int32_t image = AddSpriteDib(engine_, dib);
        const std::int32_t sprite = AddSprite(engine_);
        SetSpriteSpriteDib(engine_, sprite, image);
        return sprite;
    };
    ballSprite_ = sprite_for(ballDib_);
    boardSprite_ = sprite_for(boardDib_);
    markerSprite_ = sprite_for(markerDib_);
    if (ballSprite_ < 0 || boardSprite_ < 0 || markerSprite_ < 0) return "sprite table full";
    ShowSprite(engine_, boardSprite_, kBoardX, kBoardY, kBoardDepth, ANIM_ANCHOR_TOP_LEFT);

    RegisterDrawCallback(engine_, &Match::OnCompose, kCounterDepth, kCounterDepth, 0);
    ResetFixupPaintTimes(engine_);
    KickOff();
    return {};
}

void Match::KickOff() {
    for (Player &p : players_) {
        // Own half at kick-off, a little deeper than the formation.
        p.x = PitchX(Side(p.team), p.homeU * 0.85);
        p.y = PitchY(p.homeV);
        p.vx = p.vy = 0;
        p.facing = Side(p.team) == 0 ? 0 : 4;
    }
    ballX_ = (kPitchLeft + kPitchRight) / 2.0;
    ballY_ = (kPitchTop + kPitchBottom) / 2.0;
    ballVx_ = ballVy_ = 0;
    kickCooldown_ = 10;
}

void Match::Simulate() {
    if (restartIn_ > 0 && --restartIn_ == 0) KickOff();
    if (kickCooldown_ > 0) --kickCooldown_;

    // The nearest outfield player of each team goes for the ball.
    std::array<int, kTeams> chaser = {-1, -1};
    std::array<double, kTeams> best = {1e18, 1e18};
    for (int i = 0; i < kPlayers; ++i) {
        const Player &p = players_[static_cast<std::size_t>(i)];
        if (p.shirt == 1) continue;
        const double d = (p.x - ballX_) * (p.x - ballX_) + (p.y - ballY_) * (p.y - ballY_);
        if (d < best[static_cast<std::size_t>(p.team)]) {
            best[static_cast<std::size_t>(p.team)] = d;
            chaser[static_cast<std::size_t>(p.team)] = i;
        }
    }
    const double ball_u0 = (ballX_ - kPitchLeft) / (kPitchRight - kPitchLeft);
    const double ball_v = (ballY_ - kPitchTop) / (kPitchBottom - kPitchTop);
    // The teams take turns at being first to the ball.
    for (int k = 0; k < kPlayers; ++k) {
        const int i = (k + (frame_ % 2) * kPlayersPerTeam) % kPlayers;
        Player &p = players_[static_cast<std::size_t>(i)];
        const int side = Side(p.team);
        const double ball_u = side == 0 ? ball_u0 : 1.0 - ball_u0;
        double tx, ty, speed = kRunSpeed;
        if (restartIn_ > 0) {
            tx = PitchX(side, p.homeU * 0.85);
            ty = PitchY(p.homeV);
        } else if (i == chaser[static_cast<std::size_t>(p.team)]) {
            tx = ballX_;
            ty = ballY_;
            speed = kChaseSpeed;
        } else if (p.shirt == 1) {
            tx = PitchX(side, 0.02);
            ty = std::clamp(ballY_, static_cast<double>(kGoalTop + 4), static_cast<double>(kGoalBottom - 4));
        } else {
            // Hold the shape, sliding with the ball up and across the pitch.
            tx = PitchX(side, std::clamp(p.homeU + (ball_u - 0.45) * 0.5, 0.05, 0.95));
            ty = PitchY(std::clamp(p.homeV + (ball_v - 0.5) * 0.35, 0.03, 0.97));
        }
        const double dx = tx - p.x, dy = ty - p.y;
        const double dist = std::sqrt(dx * dx + dy * dy);
        double wx = 0, wy = 0;
        if (dist > 3.0) {
            const double s = std::min(speed, dist * 0.2);
            wx = dx / dist * s;
            wy = dy / dist * s;
        }
        p.vx += (wx - p.vx) * 0.25;
        p.vy += (wy - p.vy) * 0.25;
        p.x += p.vx;
        p.y += p.vy;
        const double moving = std::sqrt(p.vx * p.vx + p.vy * p.vy);
        p.facing = moving > 0.4 ? Direction(p.vx, p.vy) : Direction(ballX_ - p.x, ballY_ - p.y);

        // Near the other goal: a shot at the mouth. Elsewhere: the ball
        // played forward, with some spread.
        const double reach = std::sqrt((p.x - ballX_) * (p.x - ballX_) + (p.y - ballY_) * (p.y - ballY_));
        if (restartIn_ == 0 && kickCooldown_ == 0 && reach < kKickReach) {
            const double goal_x = side == 0 ? kPitchRight + 10 : kPitchLeft - 10;
            const bool shot = std::abs(goal_x - ballX_) < kShootingRange;
            const double mouth = (kGoalTop + kGoalBottom) / 2.0;
            const double goal_y = shot ? mouth + rng_.Between(-36, 36) : mouth + rng_.Between(-140, 140);
            const double spread = shot ? 0.0 : rng_.Between(-45, 45) / 100.0;
            const double a = std::atan2(goal_y - ballY_, goal_x - ballX_) + spread;
            const double power = shot ? 8.0 + rng_.Below(30) / 10.0 : 4.0 + rng_.Below(35) / 10.0;
            ballVx_ = std::cos(a) * power;
            ballVy_ = std::sin(a) * power;
            kickCooldown_ = 12;
        }
    }

    // The ball rolls, slows, bounces off the lines, or goes in.
    ballX_ += ballVx_;
    ballY_ += ballVy_;
    ballVx_ *= kBallFriction;
    ballVy_ *= kBallFriction;
    if (ballY_ < kPitchTop + 3) ballY_ = kPitchTop + 3, ballVy_ = -ballVy_;
    if (ballY_ > kPitchBottom - 2) ballY_ = kPitchBottom - 2, ballVy_ = -ballVy_;
    const bool in_mouth = ballY_ > kGoalTop + 2 && ballY_ < kGoalBottom - 2;
    for (int side = 0; side < 2; ++side) {
        const bool past = side == 0 ? ballX_ < kPitchLeft : ballX_ > kPitchRight;
        if (!past) continue;
        if (in_mouth && restartIn_ == 0) {
            // The team defending this end concedes.
            const int conceding = Side(0) == side ? 0 : 1;
            ++score_[static_cast<std::size_t>(1 - conceding)];
            ballVx_ *= 0.2;
            ballVy_ *= 0.2;
            restartIn_ = kRestartPause;
            RedrawBoard();
        } else if (!in_mouth) {
            ballX_ = side == 0 ? kPitchLeft + 1 : kPitchRight - 1;
            ballVx_ = -ballVx_;
        }
        ballX_ = std::clamp(ballX_, static_cast<double>(kPitchLeft - 12), static_cast<double>(kPitchRight + 12));
    }
}

void Match::Project(Player &p) {
    const Facing f = kFacings[static_cast<std::size_t>(p.facing)];
    const bool running = std::sqrt(p.vx * p.vx + p.vy * p.vy) > 0.5;
    const std::int32_t id = running ? RunId(f.view) : StandId(f.view);
    if (id != p.sequence) {
        SetAnimObjectAnim(engine_, p.object, id, p.team, 0);
        p.sequence = id;
        p.animClock = 0;
    } else if (p.animClock++ % kAnimEvery != 0) {
        // Same picture again, at the new place.
        SetFrameNum(engine_, p.object, std::max(0, GetFrameNum(engine_, p.object) - 1));
    }
    // Further up the pitch is further away: smaller.
    const double t = (p.y - kPitchTop) / (kPitchBottom - kPitchTop);
    p.scale = std::clamp(static_cast<std::int32_t>(std::lround(kSmallestScale + (100 - kSmallestScale) * t)),
                         kSmallestScale, 100);
    p.mirrored = f.mirror;
    const auto x = static_cast<std::int32_t>(std::lround(p.x));
    const auto y = static_cast<std::int32_t>(std::lround(p.y));
    const std::int32_t depth = kFarDepth - y * 4;
    const std::int32_t flags = f.mirror ? ANIM_PROJECT_MIRROR : 0;
    if (!ProjectFrameScaleFlip(engine_, p.object, x, y, depth, 1, p.scale, flags)) {
        RewindAnx(engine_, p.object);
        ProjectFrameScaleFlip(engine_, p.object, x, y, depth, 1, p.scale, flags);
    }
}

void Match::PlaceBall() {
    const auto x = static_cast<std::int32_t>(std::lround(ballX_));
    const auto y = static_cast<std::int32_t>(std::lround(ballY_));
    ShowSprite(engine_, ballSprite_, x, y, kFarDepth - y * 4 - 2, ANIM_ANCHOR_CENTRE);
}

void Match::PlaceMarker() {
    if (highlighted_ < 0) {
        HideSprite(engine_, markerSprite_);
        return;
    }
    const Player &p = players_[static_cast<std::size_t>(highlighted_)];
    const auto x = static_cast<std::int32_t>(std::lround(p.x));
    const auto top = static_cast<std::int32_t>(std::lround(p.y)) - kFootY * p.scale / 100 - kMarkerHeight;
    ShowSprite(engine_, markerSprite_, x, top, kMarkerDepth, ANIM_ANCHOR_CENTRE);
}

// The flags replay their delta frames, one every kFlagEvery frames, from
// the start again when they reach the end.
void Match::WaveFlags() {
    if (frame_ % kFlagEvery != 0) return;
    for (std::size_t f = 0; f < flags_.size(); ++f) {
        const auto x = kFlagPlaces[f][0], y = kFlagPlaces[f][1];
        if (!ProjectFrame(engine_, flags_[f], x, y, kFlagDepth)) {
            RewindAnx(engine_, flags_[f]);
            ProjectFrame(engine_, flags_[f], x, y, kFlagDepth);
        }
    }
}

void Match::RedrawBoard() {
    CopyInto(boardDib_, DrawScoreboard(score_[0], score_[1], half_));
    MakeRectInvalid(engine_, kBoardX, kBoardY, kBoardX + kBoardWidth - 1, kBoardY + kBoardHeight - 1);
}

int32_t Match::OnCompose(HDC, BITMAPINFO *, uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                         int32_t) {
    Match *m = g_painting;
    if (!m) return 0;
    ++m->rectsThisPaint_;
    if (m->wiping_ && m->onWipeStrip && ++m->wipeCalls_ % std::max(m->wipeStripEvery, 1) == 0) m->onWipeStrip();
    return 0;
}

void Match::HalfTimeWipe() {
    half_ = 2;  // the teams change ends
    restartIn_ = 0;
    KickOff();
    RedrawBoard();
    for (Player &p : players_) Project(p);
    PlaceBall();
    PlaceMarker();
    // Compose the second half's first picture off the window, then wipe it on.
    PaintScene(engine_, scratch_);
    MakeRectInvalid(engine_, 0, 0, kSceneWidth - 1, kSceneHeight - 1);
    wiping_ = true;
    wipeCalls_ = 0;
    PaintSceneSFX(engine_, window_, kWipeEffect);
    wiping_ = false;
}

FrameStats Match::Advance() {
    FrameStats stats;
    g_painting = this;
    rectsThisPaint_ = 0;
    using Clock = std::chrono::steady_clock;
    auto ms_since = [](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    };
    if (frame_ == totalFrames_ / 2 && frame_ > 0) {
        const auto started = Clock::now();
        HalfTimeWipe();
        stats.wipe = true;
        stats.paintMs = ms_since(started);
    } else {
        const auto started = Clock::now();
        Simulate();
        for (Player &p : players_) Project(p);
        WaveFlags();
        PlaceBall();
        PlaceMarker();
        stats.moveMs = ms_since(started);
        const auto painting = Clock::now();
        PaintScene(engine_, window_);
        stats.paintMs = ms_since(painting);
    }
    g_painting = nullptr;
    stats.rects = rectsThisPaint_;
    std::uint32_t compose = 0, copy = 0;
    GetFixupPaintTimes(engine_, &compose, &copy);
    stats.composeMs = compose - lastCompose_;
    stats.copyMs = copy - lastCopy_;
    lastCompose_ = compose;
    lastCopy_ = copy;

    StepPalette(false);
    ++frame_;
    return stats;
}

// Palette effects: colours only, between paints.
void Match::StepPalette(bool now) {
    if (fadeSteps_ < kFadeLevels) {
        if (now || frame_ % kFadeEvery == 0) {
            FadeBlacknessScene(engine_, 1);
            ++fadeSteps_;
        }
    } else if (now || frame_ % kCycleEvery == 0) {
        CyclePalette(engine_, kLights, kLights + kLightCount - 1);
    }
}

imageio::IndexedImage Match::Snapshot() const {
    imageio::IndexedImage img(kSceneWidth, kSceneHeight);
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(window_, &stride);
    if (pixels) {
        for (int y = 0; y < kSceneHeight; ++y) {
            std::memcpy(&img.At(0, y), pixels + static_cast<std::ptrdiff_t>(y) * stride, kSceneWidth);
        }
    }
    RGBQUAD colours[256];
    AnimWindowColors(window_, colours);
    for (int i = 0; i < 256; ++i) {
        img.colours[static_cast<std::size_t>(i)] = imageio::Rgb{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue};
    }
    return img;
}

int Match::Click(int x, int y) {
    const std::int32_t object = GetSeqFromPoint(engine_, x, y);
    highlighted_ = -1;
    for (int i = 0; i < kPlayers; ++i) {
        if (object >= 0 && players_[static_cast<std::size_t>(i)].object == object) highlighted_ = i;
    }
    PlaceMarker();
    return highlighted_;
}

}  // namespace demo
