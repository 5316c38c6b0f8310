#include "headless.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "gif_file.h"
#include "png_file.h"

namespace demo {
namespace {

// GIF delays are hundredths of a second: 3, 3, 4 keeps 30 frames a second.
int DelayFor(int frame) { return frame % 3 == 2 ? 4 : 3; }
constexpr int kWipeDelay = 4;

void LogFrame(std::ofstream &log, int n, const FrameStats &f) {
    char line[128];
    std::snprintf(line, sizeof line, "%d,%d,%u,%u,%.3f,%.3f,%d\n", n, f.rects, f.composeMs, f.copyMs, f.moveMs,
                  f.paintMs, f.wipe ? 1 : 0);
    log << line;
}

}  // namespace

void FrameTotals::Add(const FrameStats &f) {
    ++frames;
    if (f.wipe) {
        wipeMs += f.paintMs;
        return;
    }
    ++painted;
    paintMs += f.paintMs;
    paintMostMs = std::max(paintMostMs, f.paintMs);
    moveMs += f.moveMs;
    rects += f.rects;
    rectsMost = std::max(rectsMost, f.rects);
    composeMs += f.composeMs;
    copyMs += f.copyMs;
}

HeadlessResult PlayHeadless(Match &match, const HeadlessOptions &options) {
    HeadlessResult result;
    // Written as the frames are played, so that a long run keeps no record
    // per frame in memory.
    std::ofstream log;
    if (!options.frameLog.empty()) {
        log.open(options.frameLog, std::ios::trunc);
        if (!log) {
            result.error = options.frameLog + ": cannot be written";
            return result;
        }
        log << "frame,rects,compose_ms,copy_ms,move_ms,paint_ms,wipe\n";
    }
    imageio::GifAnimation gif;
    std::string gif_error;
    if (!options.gif.empty()) {
        if (auto e = gif.Open(options.gif, kSceneWidth, kSceneHeight); !e.empty()) {
            result.error = e;
            return result;
        }
        match.onWipeStrip = [&] {
            if (gif_error.empty()) gif_error = gif.AddFrame(match.Snapshot(), kWipeDelay);
        };
    }
    for (int n = 0; n < options.frames; ++n) {
        const FrameStats f = match.Advance();
        result.totals.Add(f);
        if (log.is_open()) LogFrame(log, n, f);
        if (!options.gif.empty() && gif_error.empty()) gif_error = gif.AddFrame(match.Snapshot(), DelayFor(n));
    }
    match.onWipeStrip = nullptr;
    // Colours only: the last picture shows it, the GIF's frames do not.
    if (options.stillPaletteStep) match.StillPaletteStep();
    if (!gif_error.empty()) {
        result.error = gif_error;
        return result;
    }
    if (!options.gif.empty()) {
        result.gifFrames = gif.frames();
        if (auto e = gif.Finish(); !e.empty()) {
            result.error = e;
            return result;
        }
    }
    if (!options.lastFrame.empty()) {
        if (auto e = imageio::WritePng(options.lastFrame, match.Snapshot()); !e.empty()) {
            result.error = e;
            return result;
        }
    }
    if (!options.frameLog.empty()) {
        log.close();
        if (!log) result.error = options.frameLog + ": write failed";
    }
    return result;
}

}  // namespace demo
