// The fuzz targets. Each body takes one input, drives the library with it
// and returns 0; a broken promise crashes (FUZZ_CHECK) so that libFuzzer and
// the replay program both see it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace anim::fuzz {

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

struct Target {
    const char *name;
    int (*run)(const std::uint8_t *, std::size_t);
};

// The target of that name, or null.
const Target *FindTarget(const char *name);

}  // namespace anim::fuzz
