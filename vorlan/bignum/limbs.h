// Kernels on runs of 64-bit limbs (least significant first) behind CHugeDigit:
// products, squares and Knuth division with 128-bit intermediate values. The
// quadratic kernels are cancellation points once per row or quotient limb.
#pragma once

#include <cstdint>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

using Limb = std::uint64_t;
__extension__ typedef unsigned __int128 DLimb;

// Limbs of a full CHugeDigit, and of a product of two of them.
inline constexpr int kMaxLimbs = (CHugeDigit::kMaxDigits + 1) / 2;
inline constexpr int kMaxWideLimbs = 2 * kMaxLimbs;

// A limb buffer wiped when it dies, also when a cancellation unwinds through it:
// the limbs may hold private values.
template <int N>
using CWipedLimbs = vorlan::detail::CWipedArray<Limb, N>;

// The n limbs holding digits[0..count-1] (count rounded up to whole limbs).
int LimbsFromDigits(Limb* limbs, const DWORD* digits, int count);
// The low count digits of the limbs.
void DigitsFromLimbs(DWORD* digits, int count, const Limb* limbs);

int SignificantLimbs(const Limb* a, int n);
// -1, 0 or 1 comparing the n-limb runs a and b.
int CompareLimbs(const Limb* a, const Limb* b, int n);
// r = a + b on n limbs (r may be a or b); the carry out.
Limb AddLimbs(Limb* r, const Limb* a, const Limb* b, int n);
// r = a - b on n limbs (r may be a or b); the borrow out.
Limb SubLimbs(Limb* r, const Limb* a, const Limb* b, int n);

// r[0..n-1] += a[0..n-1] * m; the carry out.
Limb MulAddRow(Limb* r, const Limb* a, int n, Limb m);
// r[0..an+bn-1] = a * b; r must not overlap a or b.
void MulLimbs(Limb* r, const Limb* a, int an, const Limb* b, int bn);
// r[0..2n-1] = a * a; r must not overlap a.
void SqrLimbs(Limb* r, const Limb* a, int n);
// For an >= bn >= 1 and b[bn-1] != 0: q[0..an-bn] = a div b (q may be null) and
// r[0..bn-1] = a mod b. an is at most kMaxWideLimbs + 1.
void DivModLimbs(Limb* q, Limb* r, const Limb* a, int an, const Limb* b, int bn);

}  // namespace vorlan::detail
