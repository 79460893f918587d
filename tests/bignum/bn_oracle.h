// OpenSSL BIGNUM as the independent oracle for CHugeDigit, and random operands
// shaped to reach the arithmetic's corner paths.
#pragma once

#include <openssl/bn.h>

#include <memory>
#include <random>

#include "vorlan/bignum/hugedigit.h"

struct BNFree {
    void operator()(BIGNUM* bn) const { BN_free(bn); }
};
using BN = std::unique_ptr<BIGNUM, BNFree>;
using BNCtx = std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)>;

inline BNCtx NewContext() { return BNCtx(BN_CTX_new(), BN_CTX_free); }

inline BN ToBN(const CHugeDigit& x) {
    unsigned char octets[4 * CHugeDigit::kMaxDigits];
    x.Encode(octets, sizeof octets);
    return BN(BN_bin2bn(octets, sizeof octets, nullptr));
}

// A compact number with the value of bn (at most kMaxDigits digits).
inline CHugeDigit FromBN(const BIGNUM* bn) {
    unsigned char octets[4 * CHugeDigit::kMaxDigits];
    BN_bn2binpad(bn, octets, sizeof octets);
    CHugeDigit x;
    x.SetLength(CHugeDigit::kMaxDigits);
    x.Decode(octets, sizeof octets);
    return x;
}

inline BN FromHex(const char* hex) {
    BIGNUM* bn = nullptr;
    BN_hex2bn(&bn, hex);
    return BN(bn);
}

inline bool SameValue(const CHugeDigit& x, const BIGNUM* expected) { return BN_cmp(ToBN(x).get(), expected) == 0; }
inline bool Compact(const CHugeDigit& x) { return x.GetLength() == std::max<int>(x.Digits(), 1); }

// Random numbers of up to maxBits bits. Digits are drawn from a mix of uniform
// values, 0 and 0xFFFFFFFF, which drives the division's rare correction steps.
class CRandomOperands {
public:
    explicit CRandomOperands(unsigned seed) : m_engine(seed) {}

    CHugeDigit Next(int maxBits) { return Exactly(std::uniform_int_distribution<int>(1, maxBits)(m_engine)); }
    // A number below 2^bits, mostly with its top bits set.
    CHugeDigit Exactly(int bits) {
        const int count = (bits + 31) / 32;
        CHugeDigit x(static_cast<WORD>(count), 0);
        const int shape = std::uniform_int_distribution<int>(0, 3)(m_engine);
        for (int i = 0; i < count; ++i) x[i] = Digit(shape);
        if (bits % 32) x[count - 1] &= (DWORD{1} << (bits % 32)) - 1;
        x.DoCompact();
        return x;
    }
    CHugeDigit NextNonZero(int maxBits) {
        CHugeDigit x = Next(maxBits);
        if (x.Zero()) x = 1;
        return x;
    }

private:
    DWORD Digit(int shape) {
        const DWORD uniform = static_cast<DWORD>(m_engine());
        const DWORD special[] = {0, 0xFFFFFFFF, shape == 1 ? 0x80000000u : 1u, uniform};
        return shape == 0 ? uniform : special[m_engine() % 4];
    }

    std::mt19937 m_engine;
};
