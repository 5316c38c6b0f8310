// An animated GIF written frame by frame. Every frame is a whole picture
// with its own colours; only the part that differs from the previous frame
// (in index or in shown colour) is stored, with unchanged pixels left
// transparent, and a local colour map where the colours differ from the
// first frame's.
#pragma once

#include <memory>
#include <string>

#include "indexed_image.h"

namespace imageio {

class GifAnimation {
public:
    GifAnimation();
    ~GifAnimation();
    GifAnimation(const GifAnimation &) = delete;
    GifAnimation &operator=(const GifAnimation &) = delete;

    // Starts a file of width x height at path (written under a temporary name
    // until Finish). Empty string on success.
    std::string Open(const std::string &path, int width, int height);
    // Appends a frame shown for delay hundredths of a second. The image must
    // have the size given to Open.
    std::string AddFrame(const IndexedImage &image, int delayCentiseconds);
    // Completes the file and moves it to its name. Empty string on success.
    std::string Finish();

    int frames() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace imageio
