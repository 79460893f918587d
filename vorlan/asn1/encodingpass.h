// The encoding pass: the contents lengths of the constructed values of a tree, summed once
// per encoding.
#pragma once

#include <cstddef>
#include <memory>

namespace vorlan::detail {

// One encoding pass over a tree that does not change meanwhile (the outermost guard of a
// thread counts). The pass keeps the contents length of each constructed value it sums, in
// the order in which the writers then ask for them, so nested writers do not re-walk their
// subtrees and encoding stays linear in the tree size. The values are only read, so threads
// may encode one tree at once.
class EncodingPass {
public:
    EncodingPass() : m_bOuter(s_pCurrent == nullptr) {
        if (m_bOuter) s_pCurrent = this;
    }
    EncodingPass(const EncodingPass&) = delete;
    EncodingPass& operator=(const EncodingPass&) = delete;
    ~EncodingPass() {
        if (m_bOuter) s_pCurrent = nullptr;
    }
    // The pass in progress in this thread, null outside any pass.
    static EncodingPass* Current() { return s_pCurrent; }

    // The contents length of `value`, which `sum` adds up from its components. A writer about
    // to write the components takes the length (`take`): the pass then expects the next value.
    template <class Sum>
    unsigned long Length(const void* value, bool take, Sum&& sum) {
        if (m_nSumming == 0 && m_nNext < m_nSize && m_pSlots[m_nNext].value == value)
            return take ? m_pSlots[m_nNext++].length : m_pSlots[m_nNext].length;
        // Not the value expected: what was kept ahead is dropped, and this value's subtree is
        // summed afresh, each constructed value in it keeping its slot in writing order.
        if (m_nSumming == 0) m_nSize = m_nNext;
        const std::size_t slot = Open(value);
        ++m_nSumming;
        const unsigned long length = sum();
        m_pSlots[slot].length = length;
        if (--m_nSumming == 0) m_nNext = take ? slot + 1 : slot;
        return length;
    }

private:
    struct Slot {
        const void* value;
        unsigned long length;
    };
    // A certificate has some 50 constructed values: most trees never leave the inline slots.
    static constexpr std::size_t kInlineSlots = 64;

    // A new slot for `value` at the end.
    std::size_t Open(const void* value);

    // Defined here, constant-initialised, so readers need no thread-local initialisation call.
    static inline thread_local EncodingPass* s_pCurrent = nullptr;

    bool m_bOuter;
    int m_nSumming = 0;
    std::size_t m_nSize = 0;
    std::size_t m_nNext = 0;
    std::size_t m_nCapacity = kInlineSlots;
    Slot* m_pSlots = m_inline;
    std::unique_ptr<Slot[]> m_pGrown;
    Slot m_inline[kInlineSlots];
};

}  // namespace vorlan::detail
