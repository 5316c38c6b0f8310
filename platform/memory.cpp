// Memory blocks: each carries a small header in front of the caller's bytes
// so that its size can be found again from the pointer alone, as the library's
// DIB and frame code expects.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace anim::platform {
namespace {

struct alignas(16) BlockHeader {
    std::size_t size;
    std::uint64_t magic;
};
static_assert(sizeof(BlockHeader) == 16);

constexpr std::uint64_t kLiveMagic = 0x616e696d426c6b21ull;  // "anim" "Blk!"
constexpr std::uint64_t kFreedMagic = 0x46726565644d656dull;

std::size_t g_live_blocks = 0;
std::uint32_t g_fail_countdown = 0;
std::size_t g_size_limit = kMaxBlockSize;

BlockHeader *HeaderOf(const void *block) {
    return reinterpret_cast<BlockHeader *>(const_cast<unsigned char *>(
        static_cast<const unsigned char *>(block) - sizeof(BlockHeader)));
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
    BlockHeader *header = HeaderOf(block);
    if (header->magic != kLiveMagic) std::abort();  // freed twice, or not ours
    header->magic = kFreedMagic;
    --g_live_blocks;
    std::free(header);
}

std::size_t BlockSize(const void *block) {
    if (block == nullptr) return 0;
    const BlockHeader *header = HeaderOf(block);
    if (header->magic != kLiveMagic) std::abort();
    return header->size;
}

std::size_t LiveBlockCount() { return g_live_blocks; }

void FailNthAllocation(std::uint32_t n) { g_fail_countdown = n; }

void SetBlockSizeLimit(std::size_t limit) {
    g_size_limit = limit == 0 || limit > kMaxBlockSize ? kMaxBlockSize : limit;
}

}  // namespace anim::platform
