// Fixed-window exponentiation over a table of powers, shared by the Montgomery products on
// 64-bit limbs and those on 52-bit digits. The windows' positions are public and their
// values secret: the table hands out a window's power by reading every entry.
#pragma once

#include "vorlan/bignum/limbs.h"

namespace vorlan::detail {

// Window width by exponent size: 2^w table entries against ebits / w products.
inline int WindowBits(int ebits) { return ebits > 512 ? 5 : ebits > 128 ? 4 : 3; }

// Bits lo..lo+w-1 of e (limbs of 64 bits, elimbs of them); a public position, a secret value.
inline Limb Window(const Limb* e, int elimbs, int lo, int w) {
    const int i = lo / 64, shift = lo % 64;
    Limb bits = e[i] >> shift;
    if (shift + w > 64 && i + 1 < elimbs) bits |= e[i + 1] << (64 - shift);
    return bits & ((Limb{1} << w) - 1);
}

// The running value = x^e for an exponent of ebits bits (a multiple of 64), by windows of
// w bits from the top. Powers holds 2^w entries, entries 0 and 1 set to x^0 and x^1, and
// supplies Square(to, from) and Multiply(to, a, b) on entries, Select(lo, w) (the entry of
// the exponent's bits lo..lo+w-1, reading all), Start() (running value = selected),
// SquareRunning() and MultiplyRunning() (by the selected entry).
template <class Powers>
void PowerByWindows(Powers& powers, int ebits, int w) {
    for (int i = 2; i < 1 << w; ++i) {
        if (i % 2 == 0)
            powers.Square(i, i / 2);
        else
            powers.Multiply(i, i - 1, 1);
    }
    // The first window holds what is left over below the others.
    int lo = (ebits - 1) / w * w;
    powers.Select(lo, w);
    powers.Start();
    while (lo > 0) {
        lo -= w;
        for (int k = 0; k < w; ++k) powers.SquareRunning();
        powers.Select(lo, w);
        powers.MultiplyRunning();
    }
}

}  // namespace vorlan::detail
