// The frame decoder on frames, tables and overlays from anywhere.
//
//   input   := scale(1) flags(1) numberIndex(1) colour(1) table(512)
//              overlayLength(2) overlay(overlayLength) slack(2) frame(rest)
//   flags   := bit 0 mirror, bits 1-2 stream kind (0-3), bit 3 overlay given,
//              bit 4 decode into a caller's buffer, bit 5 table turned into
//              line form first
//
// The decoder is driven through its bounded entry point with the true
// lengths of the frame and overlay blocks: the exported function cannot
// know them, as the stream length is not in the frame, and reads as far as
// the stream says. Promises held here: a refusal writes nothing; a decode
// writes only the 32 + 8 x rects + data size bytes of its output; the
// table comes back as it was; and the result does not depend on what an
// earlier decode left in the codec's line buffer.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "animate.h"
#include "codec/anx_decode.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

using Table = std::array<std::uint16_t, KOVRLE_TABLE_ENTRIES>;

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::int64_t kMaxCallerBuffer = std::int64_t{1} << 20;
constexpr std::int32_t kOddScales[] = {0, -1, 101, 1000, -100, 65636, 50, 100, 1, 99, 33, 67, 25, 75, 10, 150};

std::int32_t ScaleFrom(std::uint8_t b) {
    constexpr std::uint8_t kOddFrom = 240;
    return b < kOddFrom ? 1 + b % 100 : kOddScales[b - kOddFrom];
}

// Fills the line buffer with 255 pixels of one colour, so that a decode that
// reads what it did not write gives a different picture.
void DirtyLineBuffer() {
    constexpr std::uint8_t kDirt = 0xEE;
    Table table{};
    table[kDirt] = 0x0100 | kDirt;
    ANXFRAME header{};
    header.rectCount = 1;
    header.dataSize = 256;
    header.compression = 1;
    header.rect = ANXRECT{0, 0, 254, 0};
    // One record: length 4, escape (entry 0's low byte, 0), 255 pixels, kDirt.
    const std::uint8_t record[] = {4, 0, 255, kDirt};
    std::array<std::uint8_t, dib::kHeaderSize + dib::kEntrySize + sizeof record> frame{};
    std::memcpy(frame.data(), &header, sizeof header);
    std::memcpy(frame.data() + dib::kHeaderSize, &header.rect, sizeof header.rect);
    std::memcpy(frame.data() + dib::kHeaderSize + dib::kEntrySize, record, sizeof record);
    std::array<std::uint8_t, dib::kHeaderSize + dib::kEntrySize + 256> out{};
    FUZZ_CHECK(codec::Expand({.frame = frame.data(),
                              .frameSize = frame.size(),
                              .table = table.data(),
                              .buffer = out.data(),
                              .bufferSize = out.size(),
                              .streamKind = ANX_STREAM_LINE_BY_LINE}) != nullptr);
}

}  // namespace

int FrameDecodeTarget(const std::uint8_t *data, std::size_t size) {
    Input in({data, size});
    const std::int32_t scale = ScaleFrom(in.Byte());
    const std::uint8_t flags = in.Byte();
    const std::int32_t numberIndex = in.Byte();
    const std::uint32_t colour = in.Byte();
    Table table{};
    const auto tableBytes = in.Take(sizeof table);
    std::memcpy(table.data(), tableBytes.data(), tableBytes.size());
    if ((flags & 0x20) != 0) KOVRLEConvertTableToLineForm(table.data());
    // Exact-size copies, so that a read past either block is caught.
    const auto overlaySpan = in.Take(in.U16());
    const std::vector<std::uint8_t> overlay(overlaySpan.begin(), overlaySpan.end());
    const std::uint16_t slack = in.U16();
    const auto frameSpan = in.Rest();
    const std::vector<std::uint8_t> frame(frameSpan.begin(), frameSpan.end());

    std::uint64_t needed = 0;
    if (frame.size() >= dib::kHeaderSize) {
        const ANXFRAME header = dib::LoadHeader(frame.data());
        needed =
            dib::kHeaderSize + header.dataSize +
            std::uint64_t{dib::kEntrySize} * static_cast<std::uint64_t>(std::max<std::int16_t>(header.rectCount, 0));
    }
    const bool callerBuffer = (flags & 0x10) != 0;
    // The caller's buffer is sometimes a little short, mostly large enough.
    const std::int64_t wanted = static_cast<std::int64_t>(needed) + slack % 64 - (slack & 0x100 ? 8 : 0);
    std::vector<std::uint8_t> buffer(
        callerBuffer ? static_cast<std::size_t>(std::clamp<std::int64_t>(wanted, 0, kMaxCallerBuffer)) : 0, kGuard);

    BlockBalance balance;
    const Table tableBefore = table;
    const bool overlaid = (flags & 0x08) != 0;
    codec::DecodeRequest request{.frame = frame.data(),
                                 .frameSize = frame.size(),
                                 .overlay = overlaid ? overlay.data() : nullptr,
                                 .overlaySize = overlaid ? overlay.size() : codec::kUnboundedSize,
                                 .table = table.data(),
                                 .buffer = callerBuffer ? buffer.data() : nullptr,
                                 .bufferSize = static_cast<std::uint32_t>(buffer.size()),
                                 .scale = scale,
                                 .numberIndex = numberIndex,
                                 .numberColour = colour,
                                 .mirror = (flags & 1) != 0,
                                 .streamKind = (flags >> 1) & 3};
    const ANXFRAME *result = codec::Expand(request);
    FUZZ_CHECK(table == tableBefore);
    // Nothing written past this many bytes of the caller's buffer.
    auto untouchedFrom = [&](std::uint64_t at) {
        return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(std::min(at, buffer.size())), buffer.end(),
                           [](std::uint8_t b) { return b == kGuard; });
    };
    if (result == nullptr) {
        FUZZ_CHECK(untouchedFrom(0));
        return 0;
    }
    FUZZ_CHECK(needed >= dib::kHeaderSize);
    const ANXFRAME out = dib::LoadHeader(result);
    FUZZ_CHECK(out.compression == 0 && out.rectCount == dib::LoadHeader(frame.data()).rectCount);
    if (callerBuffer) {
        FUZZ_CHECK(result == static_cast<const void *>(buffer.data()) && needed <= buffer.size() &&
                   untouchedFrom(needed));
    } else {
        FUZZ_CHECK(platform::BlockSize(result) >= needed);
    }

    // The same decode after another has filled the line buffer; a new block
    // starts zeroed, so must the second output then.
    const auto *bytes = static_cast<const std::uint8_t *>(static_cast<const void *>(result));
    const std::vector<std::uint8_t> first(bytes, bytes + needed);
    std::vector<std::uint8_t> again(callerBuffer ? buffer.size() : first.size(), callerBuffer ? kGuard : 0);
    if (!callerBuffer) DeleteAnxFrame(const_cast<ANXFRAME *>(result));
    DirtyLineBuffer();
    request.buffer = again.data();
    request.bufferSize = static_cast<std::uint32_t>(again.size());
    FUZZ_CHECK(codec::Expand(request) != nullptr);
    FUZZ_CHECK(std::equal(first.begin(), first.end(), again.begin()));
    return 0;
}

}  // namespace anim::fuzz
