// The match's art, drawn procedurally: the same pictures on every run.
#pragma once

#include <cstdint>

#include "indexed_image.h"

namespace demo {

inline constexpr int kSceneWidth = 640;
inline constexpr int kSceneHeight = 480;

// The pitch's touchlines and goal mouths, in scene coordinates.
inline constexpr int kPitchLeft = 24;
inline constexpr int kPitchRight = 615;
inline constexpr int kPitchTop = 116;
inline constexpr int kPitchBottom = 466;
inline constexpr int kGoalTop = 262;
inline constexpr int kGoalBottom = 320;

// Player cells: every frame is kCellWidth x kCellHeight with the feet at
// the bottom centre.
inline constexpr int kCellWidth = 40;
inline constexpr int kCellHeight = 56;
inline constexpr int kFootX = 20;
inline constexpr int kFootY = 54;

// The five drawn views; the three left-facing directions are these mirrored.
enum class View { kFront, kFrontRight, kRight, kBackRight, kBack };
inline constexpr int kViewCount = 5;
// Poses a view has in the sheet: four run phases, then standing. Phase 3
// is phase 1 again (packed as a repeat frame).
inline constexpr int kRunPhases = 4;
inline constexpr int kStandPose = kRunPhases;
inline constexpr int kPosesPerView = kRunPhases + 1;

// The pitch, stands and crowd, in the game colours.
imageio::IndexedImage DrawPitch(std::uint32_t seed);
// Every pose of every view, one cell each (a row per view), each cell's
// top-left pixel marking the grid.
imageio::IndexedImage DrawPlayerSheet();
// Players further up the pitch are drawn smaller, down to this percentage;
// everything drawn on them must stay legible there.
inline constexpr int kSmallestScale = 60;

// The shirt-number art for the same cells, in the segment colours: two
// digits of kNumberWidth x kNumberHeight pixels together, at kNumberTop of
// the cell.
inline constexpr int kNumberWidth = 14;
inline constexpr int kNumberHeight = 12;
inline constexpr int kNumberTop = 19;
imageio::IndexedImage DrawNumberSheet();
// The left edge of the shirt number in a view's cell.
int NumberLeft(View view);
// True when the view shows a shirt number.
bool ViewHasNumber(View view);

inline constexpr int kBallSize = 8;
// The ball, index 0 transparent.
imageio::IndexedImage DrawBall();

inline constexpr int kBoardWidth = 150;
inline constexpr int kBoardHeight = 30;
// The scoreboard showing the two scores and the half (1 or 2).
imageio::IndexedImage DrawScoreboard(int home, int away, int half);

inline constexpr int kFlagWidth = 48;
inline constexpr int kFlagHeight = 30;
inline constexpr int kFlagFrames = 8;
// A flag on its pole in the stands, waving: frame phase of kFlagFrames.
imageio::IndexedImage DrawFlag(int phase);

inline constexpr int kMarkerWidth = 9;
inline constexpr int kMarkerHeight = 7;
// The arrow shown over a highlighted player.
imageio::IndexedImage DrawMarker();

}  // namespace demo
