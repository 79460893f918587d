/// \file
/// Blocks of value objects and of their component arrays. A decoded structure is one object
/// (and one array when constructed) per element, made and freed in large numbers: freed blocks
/// are kept, by size, in lists of the thread that frees them and handed out again before the
/// heap is asked. The lists are bounded and given back when the thread ends (valuealloc.cpp);
/// under AddressSanitizer every block goes to the heap so that it stays watched. Taking and
/// keeping a block are inline: a few instructions in the common case.
#pragma once

#include <cstddef>
#include <new>

namespace vorlan::detail {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kKeepBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kKeepBlocks = false;
#else
inline constexpr bool kKeepBlocks = true;
#endif
#else
inline constexpr bool kKeepBlocks = true;
#endif

inline constexpr std::size_t kBlockGranule = 16;
inline constexpr std::size_t kBlockClasses = 17;     ///< blocks of up to 256 octets are kept
inline constexpr unsigned kMaxKeptBlocks = 256;      ///< per size and thread

struct FreeBlock {
    FreeBlock* next;
};

/// Constant-initialised and trivially destructible, so it can be used as long as the thread's
/// storage exists, also by objects freed after the thread's destructors have run.
struct KeptBlocks {
    FreeBlock* heads[kBlockClasses];
    unsigned counts[kBlockClasses];  ///< all at kMaxKeptBlocks once the thread has given them back
    bool releaseArmed;
};
extern constinit thread_local KeptBlocks t_keptBlocks;

/// A block from the heap for `size` octets, of its whole size class when it is kept later.
void* HeapBlock(std::size_t size);
/// Keeps the thread's first block of size class `c`, arming the release at thread end.
void KeepFirstBlock(void* block, std::size_t c) noexcept;

inline std::size_t BlockClass(std::size_t size) { return (size + kBlockGranule - 1) / kBlockGranule; }

/// A block of at least `size` octets: a kept one of its size class, else from the heap.
inline void* TakeBlock(std::size_t size) {
    const std::size_t c = BlockClass(size);
    if (kKeepBlocks && c < kBlockClasses) {
        if (FreeBlock* block = t_keptBlocks.heads[c]) {
            t_keptBlocks.heads[c] = block->next;
            --t_keptBlocks.counts[c];
            return block;
        }
    }
    return HeapBlock(size);
}

inline void KeepBlock(void* block, std::size_t size) noexcept {
    const std::size_t c = BlockClass(size);
    if (!kKeepBlocks || c >= kBlockClasses || t_keptBlocks.counts[c] >= kMaxKeptBlocks) {
        ::operator delete(block);
        return;
    }
    FreeBlock* const head = t_keptBlocks.heads[c];
    if (!head && !t_keptBlocks.releaseArmed) {
        KeepFirstBlock(block, c);
        return;
    }
    auto* free = static_cast<FreeBlock*>(block);
    free->next = head;
    t_keptBlocks.heads[c] = free;
    ++t_keptBlocks.counts[c];
}

}  // namespace vorlan::detail
