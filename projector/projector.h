// The projector's records and the internals its sources share: the four
// tables, loaded sequences and their frames, player-number sets, anim
// objects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "animate.h"
#include "animate/engine_state.h"

namespace anim::projector {

inline constexpr const char *kSource = "PROJCTOR";
inline constexpr const char *kNumbersSource = "PLYRNUMS";

// Expansion block of each anim object: a one-rectangle frame of 100 x 100.
inline constexpr std::uint32_t kObjectBufferSize = 10040;
inline constexpr std::int32_t kMaxTables = 2;
inline constexpr std::int32_t kMaxPlayerNumber = 99;
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // a free slot's id
inline constexpr std::uint16_t kStoredMark = 1;      // compression bit 0 of a stored frame
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

inline constexpr std::size_t kFileHeaderSize = 16;

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

// ---- Tables (tables.cpp) -----------------------------------------------------

// Ends the process unless InitProjector has made the tables.
void RequireTables(EngineState *engine, const char *source);
// The entry in use at index, or null for an index outside the table or a
// free slot.
AnimObject *ObjectAt(EngineState *engine, std::int32_t index);
SequenceEntry *SequenceAt(EngineState *engine, std::int32_t slot);
PlayerNumberSet *NumberSetAt(EngineState *engine, std::int32_t slot);
// Lowest free slot of a table, or -1.
template <typename Entry>
std::int32_t FreeSlot(const Table<Entry> &table) {
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        if (table.entries[i].inUse == 0) return i;
    }
    return -1;
}
void FreeTables(EngineState *engine);

// ---- Sequences (sequences.cpp) ---------------------------------------------------

// A sequence record as found in a loaded body: where it starts and how many
// bytes of the body lie from there to the end of the sequence part.
struct RecordView {
    std::uint8_t *data;
    std::size_t available;
};

std::int32_t CreateSequence(EngineState *engine, RecordView record, std::int32_t id,
                            std::int32_t tableCount);
std::int32_t DestroySequence(EngineState *engine, std::int32_t slot);
std::int32_t FindSequence(EngineState *engine, std::int32_t id);
std::int32_t AddRefSequence(EngineState *engine, std::int32_t slot);
std::int32_t ReleaseSequence(EngineState *engine, std::int32_t slot);
void DupKovrleTable(const EngineState *engine, const std::uint16_t *source, std::uint16_t *target);

// Frame k of a sequence with a repeat frame followed, or null (no such
// frame, a deleted one). limit receives the bytes the frame may use.
ANXFRAME *ResolveFrame(const SequenceEntry &sequence, std::int32_t k, std::size_t *limit = nullptr);
// The slot of frame k itself (repeats not followed) replaced by a block the
// projector expanded; the old frame stays in the file block.
void StoreExpandedFrame(SequenceEntry &sequence, std::int32_t k, ANXFRAME *frame);
// Releases expanded frame k; false when the frame is not one.
bool DeleteExpandedFrame(SequenceEntry &sequence, std::int32_t k);

// ---- Player numbers (player_numbers.cpp) ---------------------------------------

std::int32_t CreatePlayerNumberSet(EngineState *engine, RecordView record, std::int32_t id);
std::int32_t DestroyPlayerNumberSet(EngineState *engine, std::int32_t slot);
std::int32_t FindPlayerNumberSet(EngineState *engine, std::int32_t id);
std::int32_t AddRefPlayerNumberSet(EngineState *engine, std::int32_t slot);
std::int32_t ReleasePlayerNumberSet(EngineState *engine, std::int32_t slot);

// ---- Anim objects (anim_objects.cpp) ------------------------------------------------

void DestroyObject(EngineState *engine, std::int32_t index);
// Releases the sequence and number set an object plays (and its delta
// picture), and empties its buffer of the sequence's last picture.
void ReleasePlayed(EngineState *engine, AnimObject &object);

// ---- Projection (projection.cpp, seeking.cpp) -------------------------------------------

std::int32_t ProjectCore(EngineState *engine, std::int32_t object, std::int32_t x, std::int32_t y,
                         std::int32_t depth, std::int32_t show, std::int32_t scale,
                         std::int32_t flags);
// Copies rectangle 0 of frame k opaque into the object's picture and makes
// k the object's frame.
void ApplyKeyFrame(EngineState *engine, AnimObject &object, std::int32_t k);
// The decoder gives every rectangle entry of a frame it expands the
// frame's full size; a delta frame's rectangles are where its pixels go,
// so they are copied back from the stored frame (whose entries the load
// checked) after a whole-frame expansion.
void KeepDeltaRects(const ANXFRAME *stored, ANXFRAME *expanded);
// Delta frame k, expanded into the sequence the first time it is asked for
// and checked against a picture of width x height (frame 0 where it lies,
// later frames moved by their adjust); null when it cannot be had or does
// not fit.
ANXFRAME *ExpandDeltaFrame(SequenceEntry &sequence, std::int32_t k, std::int32_t tableIndex,
                           std::int32_t width, std::int32_t height);
// The same against the object's own picture.
ANXFRAME *ExpandedDeltaFrame(const AnimObject &object, SequenceEntry &sequence, std::int32_t k);
// Where a delta frame's rectangles land in the object's picture: frame 0
// makes the picture from where its rectangles lie (its adjust is never
// applied); every later frame is applied moved by its adjust, and the
// sprite then shows the part its header rectangle gives.
enum class DeltaPlacement { kPicture, kByAdjust };
// A delta frame's rectangles lie inside a picture of width x height (placed
// as given), its data size is exactly what they hold, and a raw frame's
// pixels lie within blockSize. Checked on the stored frame before it is
// expanded and on the expanded one before it is used.
bool DeltaFrameFits(const ANXFRAME *frame, std::size_t blockSize, std::int32_t width,
                    std::int32_t height, DeltaPlacement placement);

}  // namespace anim::projector
