#include "vorlan/rsa/rsablock.h"

#include <algorithm>
#include <cstring>

#include "vorlan/framework/archive.h"
#include "vorlan/support/unlockexception.h"

namespace vorlan::detail {

CHugeDigit Sum(CHugeDigit a, CHugeDigit b) {
    a.SetLength(static_cast<short>(std::max(a.GetLength(), b.GetLength()) + 1));
    return CHugeDigit::Add(a, b);
}

CHugeDigit Difference(CHugeDigit a, CHugeDigit b) { return CHugeDigit::Sub(a, b); }

CHugeDigit Product(CHugeDigit a, CHugeDigit b) { return CHugeDigit::Mult(a, b); }

CHugeDigit ReadNumber(const BYTE* data, std::size_t len) {
    const std::size_t used = std::min<std::size_t>(len, CRSAPublicKey::kFieldSize);
    CHugeDigit value(CRSAPublicKey::kFieldSize / 4, 0);
    value.Decode(data + (len - used), static_cast<WORD>(used));
    return value;
}

CHugeDigit ReadNumber(const CByteArray& octets) {
    return ReadNumber(octets.GetData(), static_cast<std::size_t>(octets.GetSize()));
}

void WriteNumber(const CHugeDigit& value, WORD k, CByteArray& out) {
    out.SetSize(k);
    if (k > 0) value.Encode(out.GetData(), k);
}

Limb ReadLimbs(Limb* out, int n, std::span<const BYTE> field) {
    std::fill(out, out + n, 0);
    Limb overflow = 0;
    const int len = static_cast<int>(field.size());
    for (int i = 0; i < len; ++i) {  // i counts from the last octet
        const Limb octet = field[len - 1 - i];
        if (i < 8 * n)
            out[i / 8] |= octet << (8 * (i % 8));
        else
            overflow |= octet;
    }
    return overflow;
}

void WriteLimbs(const Limb* value, int n, WORD k, CByteArray& out) {
    out.SetSize(k);
    BYTE* octets = out.GetData();
    for (int i = 0; i < k; ++i) octets[k - 1 - i] = i < 8 * n ? static_cast<BYTE>(value[i / 8] >> (8 * (i % 8))) : 0;
}

CHugeDigit NumberFromLimbs(const Limb* value, int n) {
    CHugeDigit number(static_cast<WORD>(2 * n), 0);
    DigitsFromLimbs(&number[0], 2 * n, value);
    number.DoCompact();
    return number;
}

void LimbsFromNumber(Limb* out, int n, const CHugeDigit& value) {
    std::fill(out, out + n, 0);
    LimbsFromDigits(out, value.GetDigits(), std::min<int>(value.Digits(), 2 * n));
}

void CheckOperand(const CHugeDigit& m, const CHugeDigit& n, const char* reason) {
    // A zero modulus (a default key, a corrupt archive) would divide by zero.
    if (n.Zero() || CHugeDigit::IsGreater(m, n)) AfxThrowUnlockException(reason);
}

std::span<BYTE> FormatBlock(const unsigned char* data, unsigned long len, WORD k, BYTE blockType, CByteArray& out,
                            const char* reason) {
    if (static_cast<unsigned long long>(len) + kRsaBlockOverhead > k) AfxThrowUnlockException(reason);
    out.SetSize(k);
    BYTE* block = out.GetData();
    const std::size_t padLen = k - len - 3;
    block[0] = 0x00;
    block[1] = blockType;
    block[2 + padLen] = 0x00;
    if (len > 0) std::memcpy(block + 3 + padLen, data, len);
    return {block + 2, padLen};
}

int ParseBlock(const CByteArray& in, WORD bits, BYTE blockType, EBlockPadding padding, CByteArray& out) {
    const int k = in.GetSize();
    const int blockLen = (static_cast<int>(bits) + 7) / 8;
    // Any block shorter than the overhead fails the final length test anyway; rejecting
    // it here keeps every index below inside the block.
    if (blockLen > k || blockLen < kRsaBlockOverhead) return 0;
    const BYTE* block = in.GetData() + (k - blockLen);
    if (block[0] != 0x00 || block[1] != blockType) return 0;

    int i = 2;
    if (padding == EBlockPadding::Constant) {
        const BYTE pad = blockType != 0 ? 0xFF : 0x00;
        while (i < blockLen - 1 && block[i] == pad) ++i;
        if (block[i] != 0x00) return 0;
        ++i;
    } else {
        while (i < blockLen - 1 && block[i] != 0x00) ++i;
        ++i;
        if (i >= blockLen) return 0;
    }

    const int dataLen = blockLen - i;
    if (dataLen + kRsaBlockOverhead > blockLen) return 0;
    out.SetSize(dataLen);
    if (dataLen > 0) std::memcpy(out.GetData(), block + i, static_cast<std::size_t>(dataLen));
    return 1;
}

namespace {

// 0xFF when the octet is zero, else 0x00, without a branch.
BYTE ZeroMask(BYTE octet) { return static_cast<BYTE>((static_cast<unsigned>(octet) - 1u) >> 8); }

}  // namespace

void SelectWrappedKey(std::span<const BYTE> block, std::span<const BYTE> fallback, std::span<BYTE> out) {
    const std::size_t separator = block.size() - out.size() - 1;
    BYTE wellFormed = ZeroMask(block[0]) & ZeroMask(block[1] ^ BYTE{0x02}) & ZeroMask(block[separator]);
    for (std::size_t i = 2; i < separator; ++i) wellFormed &= static_cast<BYTE>(~ZeroMask(block[i]));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<BYTE>((block[separator + 1 + i] & wellFormed) | (fallback[i] & ~wellFormed));
}

bool FitsIn(std::span<const BYTE> field, std::size_t len) {
    return std::all_of(field.begin(), field.end() - static_cast<std::ptrdiff_t>(len), [](BYTE b) { return b == 0; });
}

void ReadRightAligned(CArchive& ar, std::span<BYTE> field, std::size_t len) {
    const std::size_t front = field.size() - len;
    std::fill_n(field.begin(), front, BYTE{0});
    if (ar.Read(field.data() + front, static_cast<UINT>(len)) != len)
        AfxThrowArchiveException(CArchiveException::endOfFile);
}

}  // namespace vorlan::detail
