/// \file
/// CBufferedFilterNS: the block-buffered output stream every encoder writes into.
/// A concrete sink consumes whole blocks in ProcessBlock; the owner ends the stream
/// with the final call ProcessBlock(1, nullptr, 0), which carries what is left.
#pragma once

#include <cstring>

#include "vorlan/framework/bytearray.h"

/// The block-buffered output stream every encoder writes into: a sink class consumes whole
/// blocks in ProcessBlock, and the owner ends the stream with Finish(). Not copyable; a sink's
/// failures are its own exceptions (a cipher sink's CUnlockException*, a file sink's
/// CFileException*).
class CBufferedFilterNS {
public:
    CBufferedFilterNS() = default;
    CBufferedFilterNS(const CBufferedFilterNS&) = delete;
    CBufferedFilterNS& operator=(const CBufferedFilterNS&) = delete;
    virtual ~CBufferedFilterNS() = default;

    /// Totals and fill to 0, the block zeroed.
    virtual int Reset();
    /// Consume one block; data null means the sink's own buffer with m_dwFill octets.
    virtual void ProcessBlock(int final, const unsigned char* data, unsigned long length) = 0;

    /// The block size (0: no buffer, every write goes straight to ProcessBlock); totals and fill to 0.
    void SetBlockSize(unsigned long blockSize);

    /// Buffered write: whole blocks go to ProcessBlock straight from `data`.
    void Write(const unsigned char* data, unsigned long count) {
        if (count != 0 && m_dwFill + count < m_dwBlockSize) {
            // The two counters are updated apart (not as one paired store), which keeps the
            // next write's loads from stalling on store forwarding.
            m_dwTotal += static_cast<DWORD>(count);
            CopyOctets(m_pBlock + m_dwFill, data, count);
            m_dwFill += static_cast<DWORD>(count);
            return;
        }
        WriteBlocks(data, count);
    }
    /// Room for `count` octets in the block that a writer fills itself and then passes on with
    /// Commit(count); null when they would fill the block (the writer uses Write instead), so
    /// blocks reach ProcessBlock exactly as with Write.
    unsigned char* Reserve(unsigned long count) {
        return m_dwFill + count < m_dwBlockSize ? m_pBlock + m_dwFill : nullptr;
    }
    /// Passes on `count` octets written into the room Reserve gave.
    void Commit(unsigned long count) {
        m_dwTotal += static_cast<DWORD>(count);
        m_dwFill += static_cast<DWORD>(count);
    }
    /// Copies octets the target has room for; the short runs of identifiers, lengths and small
    /// contents go without a library call.
    static void CopyOctets(unsigned char* to, const unsigned char* from, unsigned long count) {
        if (count > 32) {
            std::memcpy(to, from, count);
        } else if (count >= 16) {
            std::memcpy(to, from, 16);
            std::memcpy(to + count - 16, from + count - 16, 16);
        } else if (count >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + count - 8, from + count - 8, 8);
        } else if (count >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + count - 4, from + count - 4, 4);
        } else {
            for (unsigned long i = 0; i < count; ++i) to[i] = from[i];
        }
    }
    /// Buffered write of one octet.
    void WriteByte(unsigned char octet) {
        if (m_dwFill + 1 < m_dwBlockSize) {
            m_pBlock[m_dwFill++] = octet;
            ++m_dwTotal;
            return;
        }
        WriteBlocks(&octet, 1);
    }
    /// The final call, then an empty buffer.
    void Finish();
    /// The octets a ProcessBlock call carries: null data stands for the sink's own buffer.
    void ResolveBlock(const unsigned char*& data, unsigned long& length) const {
        if (!data) {
            data = m_pBlock;
            length = m_dwFill;
        }
    }

    DWORD m_dwTotal = 0;  ///< octets written since the last Reset
    DWORD m_dwFill = 0;  ///< octets in the block
    DWORD m_dwBlockSize = 0;  ///< the block size
    CByteArray m_buffer;  ///< the block's storage
    unsigned char* m_pBlock = nullptr;  ///< the block, null without one

private:
    void WriteBlocks(const unsigned char* data, unsigned long count);
};
