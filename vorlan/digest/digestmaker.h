/// \file
/// CDigestMaker: feeds data of any length to a message digest in fixed blocks, with
/// optional progress hints, and runs its finishing step. MD2, MD5 and the SHA family derive
/// from it and supply the compression function, length counting, padding and output.
#pragma once

#include <cstdint>
#include <span>

class CFile;
class CProgress;

/// The base of the message digests: feeds data of any length in fixed blocks, with optional
/// progress hints, and runs the finishing step. A plain value (copies carry their state); a
/// digest holds no secrets of its own.
class CDigestMaker {
public:
    virtual ~CDigestMaker() = default;

    /// The digest after a call with `final` set; before that, the chaining state.
    virtual void GetCurrentDigest(unsigned char* out) const = 0;
    /// Starts a new message.
    virtual void ResetContext() = 0;

    /// Feeds len octets; with `final` runs the finishing step, which does not reset:
    /// later calls go on from the finished state and the running length. A non-null
    /// progress receives one hint per compressed block and one for the finishing step.
    void UpdateBlock(const unsigned char* data, int len, CProgress* progress, int final, int countLength);
    /// Feeds len octets from the file's position (0: up to its end) in 1,024-octet chunks.
    void UpdateFile(CFile& file, unsigned long len, CProgress* progress, int final);

protected:
    /// A digest over blocks of blockSize octets.
    explicit CDigestMaker(int blockSize) : blockSize(blockSize) {}
    /// Copies come only from a derived copy, which carries its own buffer.
    CDigestMaker(const CDigestMaker&) = default;
    /// Assignment comes only from a derived assignment, likewise.
    CDigestMaker& operator=(const CDigestMaker&) = default;

    /// The compression function over one block.
    virtual void UpdateDigest(const unsigned char* block) = 0;
    /// The compression function over `blocks` consecutive blocks.
    virtual void UpdateDigests(const unsigned char* data, int blocks);
    /// Counts len more message octets.
    virtual void UpdateTotalLength(int len) = 0;
    /// Pads and processes the final block(s).
    virtual void UpdateLastBytes() = 0;
    /// The block buffer, which lies in the derived object so that copies stay independent.
    virtual unsigned char* Buffer() = 0;

    /// MD5 and SHA finishing: 0x80, zeros up to the length field's size short of a block
    /// end, then the octets of the bit count; none of it is counted in the length.
    void PadWithLength(std::span<const unsigned char> length);

    int count = 0;  ///< octets waiting in the buffer
    int blockSize;  ///< octets per block

private:
    void Hint(CProgress* progress) const;
    void CompressBuffer(CProgress* progress);
};

namespace vorlan::detail {

/// The 64-bit message length in bits of MD5 and SHA-1, as two 32-bit words.
struct CBitCount {
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    void Add(int octets) {
        const auto n = static_cast<std::uint32_t>(octets);
        const std::uint32_t before = low;
        low += n << 3;
        if (low < before) ++high;
        high += n >> 29;
    }
};

}  // namespace vorlan::detail
