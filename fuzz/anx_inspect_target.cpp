// Multi-animation files as the inspector reads them: every offset and size
// is checked against the bytes present, faults become problems, and the
// contact sheet draws only what decodes safely.
//
//   input := file bytes, read as they stand
//
// Promises held: a file too short for its header is refused with a reason,
// any other is read with its bytes as given; a directory entry per declared
// sequence, or a problem saying why there is none; a frame entry per
// declared frame of each record it could read; every frame and overlay
// marked valid has its header and rectangle entries inside the file; and
// the sheet of both kits is a picture of the size it says.
#include <algorithm>

#include "anx_file.h"
#include "contact_sheet.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

void CheckFrame(const anxinfo::StoredFrame &f, std::size_t fileSize) {
    if (!f.valid) return;
    const std::size_t entries = dib::kEntrySize * static_cast<std::size_t>(std::max<std::int16_t>(f.rectCount, 0));
    FUZZ_CHECK(f.at <= fileSize && f.available <= fileSize - f.at);
    FUZZ_CHECK(dib::kHeaderSize + entries <= f.available);
}

void CheckSequence(const anxinfo::Sequence &seq, std::size_t fileSize) {
    FUZZ_CHECK(seq.frames.empty() || seq.frames.size() == static_cast<std::size_t>(seq.frameCount));
    for (const anxinfo::StoredFrame &f : seq.frames) CheckFrame(f, fileSize);
    if (seq.numbers) {
        for (const auto &overlay : seq.numbers->overlays) {
            if (overlay) CheckFrame(*overlay, fileSize);
        }
    }
    FUZZ_CHECK(seq.Markers() >= 0 && seq.RepeatFrames() >= 0);
    static_cast<void>(seq.RawBytes());
}

}  // namespace

int AnxInspectTarget(const std::uint8_t *data, std::size_t size) {
    BlockBalance balance;
    std::string error;
    const auto file = anxinfo::ReadAnxFile(MemoryFile({data, size}), error);
    if (!file) {
        FUZZ_CHECK(size < anxinfo::kFileHeaderSize && !error.empty());
        return 0;
    }
    FUZZ_CHECK(file->bytes.size() == size && std::equal(file->bytes.begin(), file->bytes.end(), data));
    FUZZ_CHECK(file->sequences.size() == file->directory.size() &&
               (file->directory.size() == file->sequenceCount || (file->directory.empty() && !file->problems.empty())));
    for (const anxinfo::Sequence &seq : file->sequences) CheckSequence(seq, size);

    anxinfo::SheetOptions options;
    options.teams = true;
    options.number = size % 100;
    std::vector<std::string> problems;
    const imageio::IndexedImage sheet = anxinfo::DrawContactSheet(*file, options, problems);
    FUZZ_CHECK(sheet.width > 0 && sheet.height > 0 &&
               sheet.pixels.size() == static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.height));
    return 0;
}

}  // namespace anim::fuzz
