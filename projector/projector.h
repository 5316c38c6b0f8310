// The projector's records and the internals its sources share: the four
// tables, loaded sequences and their frames, player-number sets, anim
// objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "animate.h"
#include "animate/engine_state.h"
#include "projector/container.h"
#include "support/report.h"

namespace anim::projector {

inline constexpr const char *kSource = "PROJCTOR";
inline constexpr const char *kNumbersSource = "PLYRNUMS";

// Expansion block of each anim object: a one-rectangle frame of 100 x 100.
inline constexpr std::uint32_t kObjectBufferSize = 10040;
inline constexpr std::int32_t kMaxTables = 2;
inline constexpr std::int32_t kMaxPlayerNumber = 99;
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // a free slot's id
// AnimObject::flags
inline constexpr std::uint32_t kObjectCreated = 1u << 0;
inline constexpr std::uint32_t kObjectNumberFlag = 1u << 1;

// The records' sizes are pinned for 64-bit machines and for WebAssembly's
// 32-bit pointers alike.
struct AnimObject {
    std::int32_t inUse;
    std::uint32_t seqId;
    std::uint32_t flags;
    std::int32_t number;
    std::int32_t seqSlot;
    std::int32_t numberSetSlot;
    std::int32_t sprite;
    std::int32_t spriteDib;
    BITMAPINFOHEADER *frameDib;
    std::int32_t dibStride;
    std::uint8_t *buffer;
    std::uint32_t bufferSize;
    std::int32_t x;
    std::int32_t y;
    std::int32_t depth;
    std::int32_t frame;
    std::int32_t isDelta;
    std::int32_t tableIndex;
};
static_assert(sizeof(AnimObject) == (sizeof(void *) == 8 ? 88 : 72));

// One loaded sequence. Its own block holds, in this order: the frame
// pointers, the per-frame offsets, the bytes each stored frame may use (to
// the end of the file's body: the stream lengths are not in the file), the
// recoloured table 1, and one byte per frame set when the frame is a block
// the projector expanded (and so owns) rather than a place in the file.
struct SequenceEntry {
    std::int32_t inUse;
    std::uint32_t id;
    std::int32_t refCount;
    std::int32_t frameCount;
    std::uint8_t *block;
    ANXFRAME **frames;
    POINT *frameOffsets;
    std::int32_t isDelta;
    std::uint32_t expandSize;
    std::uint16_t *tables[kMaxTables];
    std::int32_t tableCount;
    std::uint32_t *frameLimits;
    std::uint8_t *expanded;
};
static_assert(sizeof(SequenceEntry) == (sizeof(void *) == 8 ? 88 : 56));

// Number overlays of one sequence. The block holds the overlay pointers and
// the bytes each may use.
struct PlayerNumberSet {
    std::int32_t inUse;
    std::uint32_t id;
    std::int32_t refCount;
    std::int32_t frameCount;
    std::uint8_t *block;
    const ANXFRAME **overlays;
    std::uint32_t *overlayLimits;
};
static_assert(sizeof(PlayerNumberSet) == (sizeof(void *) == 8 ? 40 : 28));

struct MultiAnimEntry {
    std::int32_t inUse;
    std::int32_t sequenceCount;
    std::int32_t *sequenceSlots;
    std::int32_t numberSetCount;
    std::int32_t *numberSetSlots;
    std::uint8_t header[kFileHeaderSize];
    std::uint8_t *body;
};
static_assert(sizeof(MultiAnimEntry) == (sizeof(void *) == 8 ? 56 : 40));

// ---- Multi-animations (multi_anim.cpp) ---------------------------------------

// What LoadMultiAnim is asked for.
struct LoadRequest {
    const char *path = nullptr;
    const std::int32_t *ids = nullptr;  // the sequence id of each directory entry
    std::int32_t maxIds = 0;            // how many ids there are
    std::int32_t tableCount = 1;        // 1, or 2 for the recoloured table too
    bool numbers = false;               // the player-number records too
};

// Loads a file into a free slot of the multi-animation table: the slot, or
// -1 with no slot, block, sequence or set left behind.
[[nodiscard]] std::int32_t LoadMultiAnimFile(EngineState *engine, const LoadRequest &request);
// 1 when the multi-animation at handle is released (or was free), 0 while
// one of its sequences or sets is played or for a handle outside the table.
[[nodiscard]] std::int32_t DestroyMultiAnimEntry(EngineState *engine, std::int32_t handle);

// ---- Tables (tables.cpp) -----------------------------------------------------

// Ends the process unless InitProjector has made the tables.
void RequireTables(EngineState *engine, const char *source);
// The entry in use at index, or null for an index outside the table or a
// free slot.
[[nodiscard]] AnimObject *ObjectAt(EngineState *engine, std::int32_t index);
[[nodiscard]] SequenceEntry *SequenceAt(EngineState *engine, std::int32_t slot);
[[nodiscard]] PlayerNumberSet *NumberSetAt(EngineState *engine, std::int32_t slot);
// Lowest free slot of a table, or -1.
template <typename Entry>
[[nodiscard]] std::int32_t FreeSlot(const Table<Entry> &table) {
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        if (table.entries[i].inUse == 0) return i;
    }
    return -1;
}
void FreeTables(EngineState *engine);

// The first slot in use whose entry has id, or -1.
template <typename Entry>
[[nodiscard]] std::int32_t FindById(const Table<Entry> &table, std::int32_t id) {
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        const Entry &entry = table.entries[i];
        if (entry.inUse != 0 && entry.id == static_cast<std::uint32_t>(id)) return i;
    }
    return -1;
}

// Sequences and number sets count the anim objects that play them. The new
// count, or 0 for a free slot.
template <typename Entry>
std::int32_t AddRef(Entry *entry) {
    return entry != nullptr ? ++entry->refCount : 0;
}
// The same, lowered; below 0 ends the process in source.
template <typename Entry>
std::int32_t Release(Entry *entry, const char *source) {
    if (entry == nullptr) return 0;
    const std::int32_t count = --entry->refCount;
    ANIM_ASSERT(count >= 0, source);
    return count;
}
// Takes slot of a table for a sequence or number set of id, with its frame
// count and block; the rest of the entry is zero.
template <typename Entry>
Entry &ClaimSlot(Table<Entry> &table, std::int32_t slot, std::int32_t id, std::int32_t frames,
                 std::uint8_t *block) {
    Entry &entry = table.entries[slot];
    entry = Entry{};
    entry.inUse = 1;
    entry.id = static_cast<std::uint32_t>(id);
    entry.frameCount = frames;
    entry.block = block;
    ++table.count;
    return entry;
}
// Releases the block of an entry that nothing plays and frees its slot: 1
// when freed (or already free), 0 while it is played.
template <typename Entry>
[[nodiscard]] std::int32_t FreeUnplayed(Table<Entry> &table, Entry *entry) {
    if (entry == nullptr) return 1;
    if (entry->refCount != 0) return 0;
    FREE(entry->block);
    *entry = Entry{};
    entry->id = kNone;
    --table.count;
    return 1;
}

// ---- Sequences (sequences.cpp) ---------------------------------------------------

// Why a record of a file was not entered; the loader names it in its trace.
enum class RecordFault {
    kNone,
    kOutside,        // the record's fixed part runs past its part of the body
    kVersion,        // a sequence record's version is not kRecordVersion
    kBadCount,       // a number record's frame count is negative
    kFramesOutside,  // the frame index or a frame header runs past the body
    kBadRepeat,      // a repeat frame names no real frame
    kTableFull,
    kNoMemory,
};

// record: a sequence record in a loaded body, up to the end of the sequence
// part. The slot, or -1 for a record that breaks the format, a full table or
// no memory; fault, when given, receives which.
[[nodiscard]] std::int32_t CreateSequence(EngineState *engine, std::span<std::uint8_t> record,
                                          std::int32_t id, std::int32_t tableCount,
                                          RecordFault *fault = nullptr);
[[nodiscard]] std::int32_t DestroySequence(EngineState *engine, std::int32_t slot);
[[nodiscard]] std::int32_t FindSequence(EngineState *engine, std::int32_t id);
std::int32_t AddRefSequence(EngineState *engine, std::int32_t slot);
std::int32_t ReleaseSequence(EngineState *engine, std::int32_t slot);
// Team recolouring: every entry whose low byte (the colour a line decode
// writes) lies in first .. first + count - 1 gets that byte moved by shift,
// modulo 256; the rest are copied. count 0 copies the whole table. source
// and target may be the same table.
struct ColourShift {
    std::int32_t first = 0;
    std::int32_t count = 0;
    std::int32_t shift = 0;
};
void RecolourTable(std::span<const std::uint16_t, kTableEntries> source,
                   std::span<std::uint16_t, kTableEntries> target, const ColourShift &colours);
// Table 1 of a sequence from its table 0, by the shift DupKOVRLETableSetup
// stored.
void DupKovrleTable(const EngineState *engine, const std::uint16_t *source, std::uint16_t *target);

// Frame k of a sequence with a repeat frame followed, or null (no such
// frame, a deleted one). limit receives the bytes the frame may use.
[[nodiscard]] ANXFRAME *ResolveFrame(const SequenceEntry &sequence, std::int32_t k,
                                     std::size_t *limit = nullptr);
// The slot of frame k itself (repeats not followed) replaced by a block the
// projector expanded; the old frame stays in the file block.
void StoreExpandedFrame(SequenceEntry &sequence, std::int32_t k, ANXFRAME *frame);
// Releases expanded frame k; false when the frame is not one.
bool DeleteExpandedFrame(SequenceEntry &sequence, std::int32_t k);

// ---- Player numbers (player_numbers.cpp) ---------------------------------------

// record: a player-number record in a loaded body, up to the end of the
// full body. The slot, or -1; fault, when given, receives why.
[[nodiscard]] std::int32_t CreatePlayerNumberSet(EngineState *engine,
                                                 std::span<std::uint8_t> record, std::int32_t id,
                                                 RecordFault *fault = nullptr);
[[nodiscard]] std::int32_t DestroyPlayerNumberSet(EngineState *engine, std::int32_t slot);
[[nodiscard]] std::int32_t FindPlayerNumberSet(EngineState *engine, std::int32_t id);
std::int32_t AddRefPlayerNumberSet(EngineState *engine, std::int32_t slot);
std::int32_t ReleasePlayerNumberSet(EngineState *engine, std::int32_t slot);

// ---- Anim objects (anim_objects.cpp) ------------------------------------------------

void DestroyObject(EngineState *engine, std::int32_t index);
// Releases the sequence and number set an object plays (and its delta
// picture), and empties its buffer of the sequence's last picture.
void ReleasePlayed(EngineState *engine, AnimObject &object);

// ---- Projection (projection.cpp, seeking.cpp) -------------------------------------------

[[nodiscard]] std::int32_t ProjectCore(EngineState *engine, std::int32_t object, std::int32_t x,
                                       std::int32_t y, std::int32_t depth, std::int32_t show,
                                       std::int32_t scale, std::int32_t flags);
// Copies rectangle 0 of frame k opaque into the object's picture and makes
// k the object's frame.
void ApplyKeyFrame(EngineState *engine, AnimObject &object, std::int32_t k);

// ---- Delta frames (delta_frames.cpp) ---------------------------------------------------

// Where a delta frame's rectangles land in the object's picture: frame 0
// makes the picture from where its rectangles lie (its adjust is never
// applied); every later frame is applied moved by its adjust, and the
// sprite then shows the part its header rectangle gives.
enum class DeltaPlacement { kPicture, kByAdjust };
constexpr DeltaPlacement PlacementOf(std::int32_t k) {
    return k == 0 ? DeltaPlacement::kPicture : DeltaPlacement::kByAdjust;
}
struct PictureSize {
    std::int32_t width;
    std::int32_t height;
};

// A delta frame's rectangles lie inside a picture of width x height (placed
// as given), its data size is exactly what they hold, and a raw frame's
// pixels lie within blockSize. Checked on the stored frame before it is
// expanded and on the expanded one before it is used.
[[nodiscard]] bool DeltaFrameFits(const ANXFRAME *frame, std::size_t blockSize, std::int32_t width,
                                  std::int32_t height, DeltaPlacement placement);
// The decoder gives every rectangle entry of a frame it expands the
// frame's full size; a delta frame's rectangles are where its pixels go,
// so they are copied back from the stored frame (whose entries the load
// checked) after a whole-frame expansion.
void KeepDeltaRects(const ANXFRAME *stored, ANXFRAME *expanded);
// The picture a delta sequence plays on has the size of frame 0's first
// rectangle; nothing when frame 0 has none.
[[nodiscard]] std::optional<PictureSize> DeltaPictureSize(const ANXFRAME *frame0);
// A stored delta frame of size bytes made ready to be applied to a picture:
// checked and, when compressed, expanded whole-frame through table (its
// rectangles kept) into a new block that *expanded receives; that block is
// the caller's, also when it then fails its check. The frame to apply (the
// stored one or the expanded one), or null.
[[nodiscard]] ANXFRAME *ReadyDeltaFrame(ANXFRAME *stored, std::size_t size, std::uint16_t *table,
                                        const PictureSize &picture, DeltaPlacement placement,
                                        ANXFRAME **expanded);
// Lays the rectangles of a ready frame onto picture (rows stride bytes
// apart), moved by the frame's adjust; pixels in the frame's key colour
// (byte 10, when not 0) are left out.
void PaintDeltaRects(const ANXFRAME *frame, BITMAPINFOHEADER *picture, std::int32_t stride);
// Delta frame k, expanded into the sequence the first time it is asked for
// and checked against a picture of width x height (frame 0 where it lies,
// later frames moved by their adjust); null when it cannot be had or does
// not fit.
[[nodiscard]] ANXFRAME *ExpandDeltaFrame(SequenceEntry &sequence, std::int32_t k,
                                         std::int32_t tableIndex, std::int32_t width,
                                         std::int32_t height);
// The same against the object's own picture.
[[nodiscard]] ANXFRAME *ExpandedDeltaFrame(const AnimObject &object, SequenceEntry &sequence,
                                           std::int32_t k);

}  // namespace anim::projector
