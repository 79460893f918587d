// Arithmetic modulo a fixed odd modulus of N 64-bit limbs (least significant first) in
// Montgomery form, x·R mod m with R = 2^(64N): the curves' field primes and group orders.
// The products come from a policy (fieldproducts.h), the rest is common.
// Elements are kept below m, so equality and zero are plain comparisons of limbs. Only
// public values pass through (signature verification), so the code may branch on them.
// The modulus is a template argument: its limbs are constants the compiler folds into the
// unrolled products (the zero limbs of the special primes drop out).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <type_traits>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

#include "vorlan/bignum/limbs.h"

namespace vorlan::detail {

template <int N>
using Element = std::array<Limb, N>;

// r = a + b on N limbs; the carry out. On x86-64 through the carry intrinsics, which
// compile to one add-with-carry chain where 128-bit sums leave a chain of moves and tests.
template <int N>
constexpr Limb AddElements(Element<N>& r, const Element<N>& a, const Element<N>& b) {
#if defined(__x86_64__)
    if (!std::is_constant_evaluated()) {
        unsigned char carry = 0;
        for (int i = 0; i < N; ++i)
            carry = _addcarry_u64(carry, a[i], b[i], reinterpret_cast<unsigned long long*>(&r[i]));
        return carry;
    }
#endif
    Limb carry = 0;
    for (int i = 0; i < N; ++i) {
        const DLimb sum = static_cast<DLimb>(a[i]) + b[i] + carry;
        r[i] = static_cast<Limb>(sum);
        carry = static_cast<Limb>(sum >> 64);
    }
    return carry;
}

// r = a - b on N limbs; the borrow out.
template <int N>
constexpr Limb SubElements(Element<N>& r, const Element<N>& a, const Element<N>& b) {
#if defined(__x86_64__)
    if (!std::is_constant_evaluated()) {
        unsigned char borrow = 0;
        for (int i = 0; i < N; ++i)
            borrow = _subborrow_u64(borrow, a[i], b[i], reinterpret_cast<unsigned long long*>(&r[i]));
        return borrow;
    }
#endif
    Limb borrow = 0;
    for (int i = 0; i < N; ++i) {
        const DLimb difference = static_cast<DLimb>(a[i]) - b[i] - borrow;
        r[i] = static_cast<Limb>(difference);
        borrow = static_cast<Limb>(difference >> 64) & 1;
    }
    return borrow;
}

// `keep` when mask is all ones, else `other`: a select without a branch, since which one
// wins is as good as random and a mispredicted branch costs more than the select. The
// empty asm keeps the limbs in general registers, away from the vectoriser: vector loads
// of limbs just stored one by one stall on store forwarding and cost more than a product.
template <int N>
Element<N> Select(Limb mask, const Element<N>& keep, const Element<N>& other) {
    Element<N> r;
    for (int i = 0; i < N; ++i) {
        Limb k = keep[i], o = other[i];
        __asm__("" : "+r"(mask), "+r"(k), "+r"(o));
        r[i] = (k & mask) | (o & ~mask);
    }
    return r;
}

template <int N>
constexpr bool IsBelow(const Element<N>& a, const Element<N>& b) {
    for (int i = N - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i];
    return false;
}

template <int N>
constexpr bool IsZeroElement(const Element<N>& a) {
    Limb any = 0;
    for (const Limb limb : a) any |= limb;
    return any == 0;
}

// The value of a big-endian hexadecimal text of 16N digits, for the curve constants.
template <int N>
constexpr Element<N> ElementFromHex(const char (&text)[16 * N + 1]) {
    Element<N> value{};
    for (int i = 0; i < 16 * N; ++i) {
        const char c = text[i];
        const Limb digit = c <= '9' ? c - '0' : c - 'a' + 10;
        Limb& limb = value[N - 1 - i / 16];
        limb = limb << 4 | digit;
    }
    return value;
}

// The value of big-endian octets, leading zeros allowed; false when it needs more than N limbs.
template <int N>
constexpr bool ElementFromOctets(Element<N>& value, std::span<const unsigned char> octets) {
    while (!octets.empty() && octets.front() == 0) octets = octets.subspan(1);
    if (octets.size() > 8 * static_cast<std::size_t>(N)) return false;
    value = {};
    for (std::size_t i = 0; i < octets.size(); ++i)
        value[i / 8] |= static_cast<Limb>(octets[octets.size() - 1 - i]) << (8 * (i % 8));
    return true;
}

// The 8N big-endian octets of a value.
template <int N>
constexpr void OctetsFromElement(std::span<unsigned char, 8 * N> octets, const Element<N>& value) {
    for (std::size_t i = 0; i < octets.size(); ++i)
        octets[octets.size() - 1 - i] = static_cast<unsigned char>(value[i / 8] >> (8 * (i % 8)));
}

// A modulus with the constants of its Montgomery arithmetic, all derived from m.
template <int N>
struct SModulus {
    Element<N> m;
    Limb minv;           // -m^-1 mod 2^64
    Element<N> one;      // R mod m
    Element<N> rr;       // R^2 mod m
    Element<N> mMinus2;  // the exponent of an inverse (Fermat: m is prime)
};

template <int N>
constexpr Element<N> DoubleModulo(const Element<N>& x, const Element<N>& m) {
    Element<N> doubled{}, reduced{};
    const Limb carry = AddElements<N>(doubled, x, x);
    const Limb borrow = SubElements<N>(reduced, doubled, m);
    return carry || !borrow ? reduced : doubled;
}

// m odd, prime, with its top limb non-zero and its low limb at least 2.
template <int N>
constexpr SModulus<N> MakeModulus(const Element<N>& m) {
    SModulus<N> modulus{m, 0, {}, {}, m};
    // Newton's iteration doubles the correct low bits of m^-1 each step: 1, 2, 4, … 64 bits.
    Limb inverse = 1;
    for (int i = 0; i < 6; ++i) inverse *= 2 - m[0] * inverse;
    modulus.minv = 0 - inverse;
    Element<N> x{1};
    for (int i = 0; i < 64 * N; ++i) x = DoubleModulo<N>(x, m);
    modulus.one = x;
    for (int i = 0; i < 64 * N; ++i) x = DoubleModulo<N>(x, m);
    modulus.rr = x;
    modulus.mMinus2[0] -= 2;
    return modulus;
}

// The field of M with the Montgomery products of a policy (fieldproducts.h).
template <auto& M, template <auto&> class Products>
class CPrimeField {
public:
    static constexpr int N = static_cast<int>(M.m.size());
    using E = Element<N>;

    static const E& One() { return M.one; }
    static const E& Modulus() { return M.m; }

    static E ToMontgomery(const E& a) { return Mul(a, M.rr); }
    static E FromMontgomery(const E& a) { return Products<M>::Mul(a, E{1}); }

    static bool IsZero(const E& a) { return IsZeroElement<N>(a); }

    static E Add(const E& a, const E& b) {
        E sum, reduced;
        const Limb carry = AddElements<N>(sum, a, b);
        const Limb borrow = SubElements<N>(reduced, sum, M.m);
        return Select<N>(0 - (borrow & ~carry), sum, reduced);
    }

    static E Sub(const E& a, const E& b) {
        E difference, corrected;
        const Limb borrow = SubElements<N>(difference, a, b);
        AddElements<N>(corrected, difference, M.m);
        return Select<N>(0 - borrow, corrected, difference);
    }

    static E Negate(const E& a) { return Sub(E{}, a); }

    // a·b/R mod m and a²/R mod m for a and b below m, below m.
    static E Mul(const E& a, const E& b) { return Products<M>::Mul(a, b); }
    static E Sqr(const E& a) { return Products<M>::Sqr(a); }

    // a^e by fixed windows of four bits, e a plain (not Montgomery) value.
    static E Power(const E& a, const E& e) {
        E powers[16];
        powers[0] = M.one;
        for (int i = 1; i < 16; ++i) powers[i] = Mul(powers[i - 1], a);
        E r = M.one;
        bool started = false;
        for (int bit = 64 * N - 4; bit >= 0; bit -= 4) {
            if (started)
                for (int i = 0; i < 4; ++i) r = Sqr(r);
            const int window = static_cast<int>(e[bit / 64] >> (bit % 64)) & 15;
            if (window) {
                r = started ? Mul(r, powers[window]) : powers[window];
                started = true;
            }
        }
        return r;
    }

    // a^-1 for a non-zero a (m is prime).
    static E Inverse(const E& a) { return Power(a, M.mMinus2); }
};

}  // namespace vorlan::detail
