// Memory blocks: each carries a small header in front of the caller's bytes
// so that its size can be found again from the pointer alone, as the library's
// DIB and frame code expects.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define ANIM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ANIM_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef ANIM_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace anim::platform {
namespace {

struct alignas(16) BlockHeader {
    std::size_t size;
    std::uint64_t magic;
};
static_assert(sizeof(BlockHeader) == 16);

constexpr std::uint64_t kLiveMagic = 0x616e696d426c6b21ull;  // "anim" "Blk!"
constexpr std::uint64_t kFreedMagic = 0x46726565644d656dull;

// Source name of the memory layer's checks in assertion reports.
constexpr char kSource[] = "MEMORY";

std::size_t g_live_blocks = 0;
std::uint32_t g_fail_countdown = 0;
std::size_t g_size_limit = kMaxBlockSize;

// The start of the allocation behind a block: its header. Ends the process
// through the assertion report when the header does not read as a live
// block's -- the block was released already or never came from here, and
// going on would hand the allocator a pointer it does not own. No list of
// blocks is kept, so this is as far as a pointer can be checked.
unsigned char *LiveHeaderOf(const void *block) {
    auto *raw = const_cast<unsigned char *>(static_cast<const unsigned char *>(block)) -
                sizeof(BlockHeader);
#ifdef ANIM_ADDRESS_SANITIZER
    // A released block's header is poisoned: asking first gives the same
    // report as an ordinary build instead of the sanitizer's.
    if (__asan_region_is_poisoned(raw, sizeof(BlockHeader)) != nullptr)
        FailAssertion(kSource, __LINE__);
#endif
    std::uint64_t magic;
    std::memcpy(&magic, raw + offsetof(BlockHeader, magic), sizeof magic);
    if (magic != kLiveMagic) FailAssertion(kSource, __LINE__);
    return raw;
}

}  // namespace

void *AllocBlock(std::size_t size) {
    if (g_fail_countdown != 0 && --g_fail_countdown == 0) return nullptr;
    if (size > g_size_limit) return nullptr;
    void *raw = std::calloc(1, sizeof(BlockHeader) + size);
    if (raw == nullptr) return nullptr;
    BlockHeader header{size, kLiveMagic};
    std::memcpy(raw, &header, sizeof header);
    ++g_live_blocks;
    return static_cast<unsigned char *>(raw) + sizeof(BlockHeader);
}

void FreeBlock(void *block) {
    if (block == nullptr) return;
    unsigned char *raw = LiveHeaderOf(block);
    std::memcpy(raw + offsetof(BlockHeader, magic), &kFreedMagic, sizeof kFreedMagic);
    --g_live_blocks;
    std::free(raw);
}

std::size_t BlockSize(const void *block) {
    if (block == nullptr) return 0;
    std::size_t size;
    std::memcpy(&size, LiveHeaderOf(block) + offsetof(BlockHeader, size), sizeof size);
    return size;
}

std::size_t LiveBlockCount() {
    return g_live_blocks;
}

void FailNthAllocation(std::uint32_t n) {
    g_fail_countdown = n;
}

void SetBlockSizeLimit(std::size_t limit) {
    g_size_limit = limit == 0 || limit > kMaxBlockSize ? kMaxBlockSize : limit;
}

}  // namespace anim::platform
