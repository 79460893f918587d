#include "vorlan/asn1/bufferedfilter.h"

int CBufferedFilterNS::Reset() {
    m_dwTotal = 0;
    m_dwFill = 0;
    if (m_pBlock) std::memset(m_pBlock, 0, m_dwBlockSize);
    return 0;
}

void CBufferedFilterNS::SetBlockSize(unsigned long blockSize) {
    m_dwBlockSize = static_cast<DWORD>(blockSize);
    m_buffer.SetSize(static_cast<int>(blockSize));
    m_pBlock = blockSize ? m_buffer.GetData() : nullptr;
    m_dwFill = 0;
    m_dwTotal = 0;
}

void CBufferedFilterNS::Finish() {
    ProcessBlock(1, nullptr, 0);
    m_dwFill = 0;
}

void CBufferedFilterNS::WriteBlocks(const unsigned char* data, unsigned long count) {
    if (count == 0) return;
    m_dwTotal += static_cast<DWORD>(count);
    if (m_dwBlockSize == 0) {
        // Without a block every write is handed on as it comes.
        ProcessBlock(0, data, count);
        return;
    }
    if (m_dwFill > 0) {
        const unsigned long room = m_dwBlockSize - m_dwFill;
        const unsigned long k = count < room ? count : room;
        std::memcpy(m_pBlock + m_dwFill, data, k);
        m_dwFill += static_cast<DWORD>(k);
        data += k;
        count -= k;
        if (m_dwFill < m_dwBlockSize) return;
        ProcessBlock(0, nullptr, 0);
        m_dwFill = 0;
    }
    while (count >= m_dwBlockSize) {
        ProcessBlock(0, data, m_dwBlockSize);
        data += m_dwBlockSize;
        count -= m_dwBlockSize;
    }
    if (count) std::memcpy(m_pBlock, data, count);
    m_dwFill = static_cast<DWORD>(count);
}
