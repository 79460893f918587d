#include "vorlan/asn1/backwardbuffer.h"

#include <cstring>

#include "vorlan/framework/exception.h"

void vorlan::detail::CBackwardBuffer::Grow(unsigned long count) {
    const unsigned long used = Size();
    const unsigned long capacity = static_cast<unsigned long>(m_pEnd - m_pStart);
    if (count > 0x7FFFFFFFul - used) AfxThrowMemoryException();
    unsigned long grown = capacity * 2;
    while (grown < used + count) grown *= 2;
    std::unique_ptr<unsigned char[]> fresh(new unsigned char[grown]);
    std::memcpy(fresh.get() + grown - used, m_pFront, used);
    SecureWipe(m_pFront, used);
    m_pHeap = std::move(fresh);
    m_pStart = m_pHeap.get();
    m_pEnd = m_pStart + grown;
    m_pFront = m_pEnd - used;
}
