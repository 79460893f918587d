#include "vorlan/asn1/valuealloc.h"

namespace vorlan::detail {

constinit thread_local KeptBlocks t_keptBlocks{};

namespace {

// Frees the kept blocks and keeps none from now on.
void freeKept() {
    for (std::size_t c = 0; c < kBlockClasses; ++c) {
        while (FreeBlock* block = t_keptBlocks.heads[c]) {
            t_keptBlocks.heads[c] = block->next;
            ::operator delete(block);
        }
        t_keptBlocks.counts[c] = kMaxKeptBlocks;
    }
}

// Gives the kept blocks back when the thread ends.
struct ListsRelease {
    ~ListsRelease() { freeKept(); }
};
thread_local ListsRelease t_release;

}  // namespace

void* HeapBlock(std::size_t size) {
    const std::size_t c = BlockClass(size);
    return ::operator new(kKeepBlocks && c < kBlockClasses ? c * kBlockGranule : size);
}

void KeepFirstBlock(void* block, std::size_t c) noexcept {
    static_cast<void>(&t_release);
    t_keptBlocks.releaseArmed = true;
    auto* free = static_cast<FreeBlock*>(block);
    free->next = t_keptBlocks.heads[c];
    t_keptBlocks.heads[c] = free;
    ++t_keptBlocks.counts[c];
}

}  // namespace vorlan::detail
