// Blocks of value objects and of their component arrays. A decoded structure is one object
// (and one array when constructed) per element, made and freed in large numbers: freed blocks
// are kept, by size, in lists of the thread that frees them and handed out again before the
// heap is asked. The lists are bounded and given back when the thread ends; under
// AddressSanitizer every block goes to the heap so that it stays watched.
#include <new>

#include "vorlan/asn1/asn1type.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif
#else
constexpr bool kKeepBlocks = true;
#endif

constexpr size_t kGranule = 16;
constexpr size_t kClasses = 17;     // blocks of up to 256 octets are kept
constexpr unsigned kMaxKept = 256;  // per size and thread

struct FreeBlock {
    FreeBlock* next;
};

// Constant-initialised and trivially destructible, so it can be used as long as the thread's
// storage exists, also by objects freed after the thread's destructors have run.
struct BlockLists {
    FreeBlock* heads[kClasses];
    unsigned counts[kClasses];
    bool releaseArmed;
    bool closed;
};
thread_local BlockLists t_lists{};

void freeKept() {
    for (size_t c = 0; c < kClasses; ++c) {
        while (FreeBlock* block = t_lists.heads[c]) {
            t_lists.heads[c] = block->next;
            ::operator delete(block);
        }
        t_lists.counts[c] = 0;
    }
    t_lists.closed = true;
}

// Gives the kept blocks back when the thread ends.
struct ListsRelease {
    ~ListsRelease() { freeKept(); }
};
thread_local ListsRelease t_release;

size_t sizeClass(size_t size) { return (size + kGranule - 1) / kGranule; }

// A block of at least `size` octets: a kept one of its size class, else from the heap.
void* takeBlock(size_t size) {
    const size_t c = sizeClass(size);
    if (!kKeepBlocks || c >= kClasses) return ::operator new(size);
    if (FreeBlock* block = t_lists.heads[c]) {
        t_lists.heads[c] = block->next;
        --t_lists.counts[c];
        return block;
    }
    return ::operator new(c* kGranule);
}

void keepBlock(void* block, size_t size) noexcept {
    const size_t c = sizeClass(size);
    if (!kKeepBlocks || c >= kClasses || t_lists.closed || t_lists.counts[c] >= kMaxKept) {
        ::operator delete(block);
        return;
    }
    if (!t_lists.releaseArmed) {
        // The first kept block arms the release at thread end.
        static_cast<void>(&t_release);
        t_lists.releaseArmed = true;
    }
    auto* free = static_cast<FreeBlock*>(block);
    free->next = t_lists.heads[c];
    t_lists.heads[c] = free;
    ++t_lists.counts[c];
}

}  // namespace

void* CASN1Type::operator new(size_t size) { return takeBlock(size); }

void CASN1Type::operator delete(void* block, size_t size) noexcept { keepBlock(block, size); }

void* AllocateElementBlock(CASN1Type**, size_t bytes) { return takeBlock(bytes); }

void FreeElementBlock(CASN1Type**, void* block, size_t bytes) noexcept { keepBlock(block, bytes); }
