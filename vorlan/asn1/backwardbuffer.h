// The memory an encoder fills back to front.
#pragma once

#include <cstring>
#include <memory>

#include "vorlan/framework/securewipe.h"

namespace vorlan::detail {

// Memory that an encoder in memory fills back to front: each element goes in front of the
// elements that follow it, so a constructed value knows its contents length when it writes its
// header, and one pass over the tree suffices. Most encodings fit the inline block. The octets
// are wiped wherever they are left, since they may encode a private key.
class CBackwardBuffer {
public:
    CBackwardBuffer() = default;
    CBackwardBuffer(const CBackwardBuffer&) = delete;
    CBackwardBuffer& operator=(const CBackwardBuffer&) = delete;
    ~CBackwardBuffer() { SecureWipe(m_pFront, Size()); }

    // Room for `count` octets in front of those written, to be filled by the caller now.
    unsigned char* Prepend(unsigned long count) {
        if (count > static_cast<unsigned long>(m_pFront - m_pStart)) Grow(count);
        m_pFront -= count;
        return m_pFront;
    }
    // The first `unused` octets of the room just prepended were left unfilled: the `filled`
    // octets after them move up to close the gap.
    void DropFront(unsigned long unused, unsigned long filled) {
        if (unused && filled) {
            std::memmove(m_pFront + unused, m_pFront, filled);
            SecureWipe(m_pFront, unused < filled ? unused : filled);
        }
        m_pFront += unused;
    }
    // Octets written so far; they start at Data().
    unsigned long Size() const { return static_cast<unsigned long>(m_pEnd - m_pFront); }
    const unsigned char* Data() const { return m_pFront; }

private:
    void Grow(unsigned long count);

    std::unique_ptr<unsigned char[]> m_pHeap;
    unsigned char* m_pStart = m_inline;
    unsigned char* m_pEnd = m_inline + sizeof m_inline;
    unsigned char* m_pFront = m_pEnd;
    unsigned char m_inline[1024];
};

}  // namespace vorlan::detail
