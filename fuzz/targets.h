// The fuzz targets. Each body takes one input, drives the library with it
// and returns 0; a broken promise crashes (FUZZ_CHECK) so that libFuzzer and
// the replay program both see it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace anim::fuzz {

using TargetBody = int (*)(const std::uint8_t *data, std::size_t size);

// Bytes of a DIB file: OpenDIB, CopyDIB, TrimDIB, ChecksumDIB, WriteDIB and
// back, and the DIB painted as a background.
int DibFileTarget(const std::uint8_t *data, std::size_t size);
// Control bytes, a table and an overlay, then a frame block: the decoder.
int FrameDecodeTarget(const std::uint8_t *data, std::size_t size);
// Control bytes and a picture: tables, every encoder and the way back.
int EncodeTarget(const std::uint8_t *data, std::size_t size);
// Control bytes and a difference picture: DIBFindNewRects.
int FindRectsTarget(const std::uint8_t *data, std::size_t size);
// Bytes of a multi-animation file: loaded and every sequence played.
int MultiAnimTarget(const std::uint8_t *data, std::size_t size);
// A sequence of engine and projector calls, each paint held against a full
// repaint and the reference compositor.
int EngineTarget(const std::uint8_t *data, std::size_t size);
// The asset tools' readers (built with the tools): a multi-animation file
// read by the inspector and drawn as a contact sheet; a BMP file read by
// the packer; a manifest parsed and packed from a folder of its own.
int AnxInspectTarget(const std::uint8_t *data, std::size_t size);
int PackBmpTarget(const std::uint8_t *data, std::size_t size);
int ManifestTarget(const std::uint8_t *data, std::size_t size);
// An indexed PNG read by the tools' reader, and written and read back.
int PngReadTarget(const std::uint8_t *data, std::size_t size);

// Every body this build holds, by the name its program, corpus,
// regressions and dictionary use.
struct Target {
    const char *name;
    TargetBody run;
};
inline constexpr Target kTargets[] = {
    {"dib_file", &DibFileTarget},       {"frame_decode", &FrameDecodeTarget}, {"encode", &EncodeTarget},
    {"find_rects", &FindRectsTarget},   {"multi_anim", &MultiAnimTarget},     {"engine", &EngineTarget},
#ifdef ANIMATE_FUZZ_TOOLS
    {"anx_inspect", &AnxInspectTarget}, {"pack_bmp", &PackBmpTarget},         {"manifest", &ManifestTarget},
    {"png_read", &PngReadTarget},
#endif
};

}  // namespace anim::fuzz
