// The match: 22 players chasing a ball, played on the library's sprite
// engine and projector, painted into one of its in-memory windows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "animate.h"
#include "art.h"
#include "assets.h"
#include "indexed_image.h"
#include "rng.h"

namespace demo {

inline constexpr int kTeams = 2;
inline constexpr int kPlayersPerTeam = 11;
inline constexpr int kPlayers = kTeams * kPlayersPerTeam;

struct Player {
    int team = 0;
    int shirt = 1;
    double x = 0, y = 0;      // foot point, scene coordinates
    double vx = 0, vy = 0;
    double homeU = 0, homeV = 0;  // formation spot, along and across the attack
    std::int32_t object = -1;
    std::int32_t sequence = -1;
    int facing = 0;  // 0 east, clockwise in eighths
    int animClock = 0;
    std::int32_t scale = 100;
    bool mirrored = false;
};

struct FrameStats {
    std::int32_t rects = 0;       // rectangles composed and copied
    std::uint32_t composeMs = 0;  // the engine's own paint timers
    std::uint32_t copyMs = 0;
    double moveMs = 0;            // wall clock: simulation and projection
    double paintMs = 0;           // wall clock around the paint call
    bool wipe = false;            // the half-time wipe, paced at 25 ms a strip
};

class Match {
public:
    Match();
    ~Match();
    Match(const Match &) = delete;
    Match &operator=(const Match &) = delete;

    // Sets up the engine, background, palette, players, ball and board for a
    // match of totalFrames frames. Empty string on success.
    std::string Start(const Assets &assets, std::uint32_t seed, int totalFrames);

    // Moves everything one frame on and paints the changes into the window.
    // At half time this includes the wipe, during which onWipeStrip is called
    // every wipeStripEvery strips with the window as it stands.
    FrameStats Advance();
    // The palette effect of the moment (the kick-off fade, later the
    // board's lights) one step on at once, with nothing moved or painted.
    void StillPaletteStep() { StepPalette(true); }

    // The window's picture and the colours it shows now.
    imageio::IndexedImage Snapshot() const;
    // Hit test at a window point: highlights the player found (or clears the
    // highlight) and returns his index, or -1.
    int Click(int x, int y);

    int frame() const { return frame_; }
    int highlighted() const { return highlighted_; }
    const std::array<Player, kPlayers> &players() const { return players_; }
    std::array<int, kTeams> score() const { return score_; }
    EngineState *engine() const { return engine_; }
    HDC window() const { return window_; }

    std::function<void()> onWipeStrip;
    int wipeStripEvery = 8;

private:
    static int32_t OnCompose(HDC, BITMAPINFO *, uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t,
                             int32_t, int32_t);
    // Which end a team defends: the first team the left one in the first
    // half, the right one in the second.
    int Side(int team) const { return half_ == 1 ? team : 1 - team; }
    void KickOff();
    void Simulate();
    void Project(Player &p);
    void PlaceBall();
    void PlaceMarker();
    void RedrawBoard();
    void WaveFlags();
    void HalfTimeWipe();
    // now: step whatever the frame, else on the effect's own frames.
    void StepPalette(bool now);

    EngineState *engine_ = nullptr;
    HDC window_ = nullptr;
    HDC scratch_ = nullptr;
    BITMAPINFOHEADER *ballDib_ = nullptr;
    BITMAPINFOHEADER *boardDib_ = nullptr;
    BITMAPINFOHEADER *markerDib_ = nullptr;
    std::int32_t ballSprite_ = -1, boardSprite_ = -1, markerSprite_ = -1;
    std::int32_t animHandle_ = -1;
    std::array<std::int32_t, 2> flags_ = {-1, -1};  // anim objects playing the flag
    std::array<Player, kPlayers> players_{};
    double ballX_ = 0, ballY_ = 0, ballVx_ = 0, ballVy_ = 0;
    int kickCooldown_ = 0;
    int restartIn_ = 0;
    std::array<int, kTeams> score_{};
    int half_ = 1;
    int frame_ = 0;
    int totalFrames_ = 0;
    int fadeSteps_ = 0;
    int highlighted_ = -1;
    std::int32_t rectsThisPaint_ = 0;
    int wipeCalls_ = 0;
    bool wiping_ = false;
    std::uint32_t lastCompose_ = 0, lastCopy_ = 0;
    Rng rng_{1};
};

}  // namespace demo
