// ECDSA verification on one curve (FIPS 186-5, 6.4.2): u1 = e·s^-1 and u2 = r·s^-1 mod n,
// then u1·G + u2·Q by interleaved w-NAF (Shamir's trick: one chain of doublings for both
// scalars), G's odd multiples in a table made once, Q's made per signature. The sum's affine
// x is compared with r without an inversion: X = r·Z^2, or (r + n)·Z^2 when r + n < p.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "vorlan/ec/curves.h"
#include "vorlan/ec/ecpoint.h"

namespace vorlan::detail {

// The width-w non-adjacent form of k: digits[i] odd or zero, |digits[i]| < 2^(w-1), every
// non-zero digit followed by at least w-1 zeros, k = sum digits[i]·2^i. Its length.
template <int N>
int WidthNaf(std::int8_t (&digits)[64 * N + 1], const Element<N>& k, int w) {
    Limb x[N + 1] = {};
    for (int i = 0; i < N; ++i) x[i] = k[i];
    const Limb window = Limb{1} << w;
    int length = 0;
    for (int i = 0; i <= 64 * N; ++i) {
        int digit = 0;
        if (x[0] & 1) {
            digit = static_cast<int>(x[0] & (window - 1));
            if (digit >= static_cast<int>(window / 2)) digit -= static_cast<int>(window);
            // Clearing the low w bits: subtracting a positive digit borrows nowhere, adding
            // the magnitude of a negative one may carry up.
            if (digit > 0) {
                x[0] -= static_cast<Limb>(digit);
            } else {
                Limb carry = static_cast<Limb>(-digit);
                for (int j = 0; j <= N && carry; ++j) {
                    x[j] += carry;
                    carry = x[j] < carry;
                }
            }
            length = i + 1;
        }
        digits[i] = static_cast<std::int8_t>(digit);
        for (int j = 0; j < N; ++j) x[j] = x[j] >> 1 | x[j + 1] << 63;
        x[N] >>= 1;
    }
    return length;
}

template <class Curve>
class CEcdsaVerifier {
    using F = typename Curve::Field;
    using Scalars = typename Curve::Scalars;
    static constexpr int N = Curve::kLimbs;
    using E = Element<N>;
    using Jacobian = SJacobianPoint<Curve>;
    using Affine = SAffinePoint<Curve>;

    // Window widths: G's 64 affine multiples are made once; Q's 8 are made per signature,
    // where a wider table costs about what it saves.
    static constexpr int kBaseWidth = 8;
    static constexpr int kKeyWidth = 5;

public:
    // Whether (r, s) signs the digest under the key q (Montgomery coordinates, on the curve).
    // r and s are plain values of N limbs; out of 1..n-1 they are refused here.
    static bool Verify(const Affine& q, std::span<const unsigned char> digest, const E& r, const E& s) {
        const E& n = Scalars::Modulus();
        if (Scalars::IsZero(r) || Scalars::IsZero(s) || !IsBelow<N>(r, n) || !IsBelow<N>(s, n)) return false;
        // The leftmost bits of the digest, as many as n has (a multiple of 8 on these curves).
        E e;
        ElementFromOctets<N>(e, digest.first(std::min<std::size_t>(digest.size(), Curve::kOctets)));
        if (!IsBelow<N>(e, n)) SubElements<N>(e, e, n);

        // w = s^-1·R in Montgomery form; a product with a plain value is plain again.
        const E w = Scalars::Inverse(Scalars::ToMontgomery(s));
        const Jacobian sum = DoubleMultiply(Scalars::Mul(e, w), Scalars::Mul(r, w), q);
        if (sum.IsInfinity()) return false;

        const E zz = F::Sqr(sum.z);
        if (F::Mul(F::ToMontgomery(r), zz) == sum.x) return true;
        E shifted;
        if (AddElements<N>(shifted, r, n) || !IsBelow<N>(shifted, F::Modulus())) return false;
        return F::Mul(F::ToMontgomery(shifted), zz) == sum.x;
    }

private:
    // The odd multiples 1·G, 3·G, … (2^(w-1) - 1)·G, affine, made on first use.
    static const std::array<Affine, (1 << (kBaseWidth - 2))>& BaseTable() {
        static const auto table = [] {
            std::array<Affine, (1 << (kBaseWidth - 2))> multiples;
            const Jacobian g = Jacobian::From({F::ToMontgomery(Curve::kGx), F::ToMontgomery(Curve::kGy)});
            const Jacobian twice = g.Doubled();
            Jacobian odd = g;
            for (auto& multiple : multiples) {
                multiple = odd.ToAffine();
                odd = odd.Plus(twice);
            }
            return multiples;
        }();
        return table;
    }

    static Jacobian DoubleMultiply(const E& u1, const E& u2, const Affine& q) {
        const auto& base = BaseTable();
        std::array<Jacobian, (1 << (kKeyWidth - 2))> key;
        key[0] = Jacobian::From(q);
        const Jacobian twice = key[0].Doubled();
        for (std::size_t i = 1; i < key.size(); ++i) key[i] = key[i - 1].Plus(twice);

        std::int8_t d1[64 * N + 1], d2[64 * N + 1];
        const int l1 = WidthNaf<N>(d1, u1, kBaseWidth);
        const int l2 = WidthNaf<N>(d2, u2, kKeyWidth);
        Jacobian sum = Jacobian::Infinity();
        for (int i = std::max(l1, l2) - 1; i >= 0; --i) {
            if (!sum.IsInfinity()) sum = sum.Doubled();
            if (const int d = d1[i]) {
                const Affine& p = base[std::abs(d) / 2];
                sum = sum.Plus(d > 0 ? p : Affine{p.x, F::Negate(p.y)});
            }
            if (const int d = d2[i]) {
                const Jacobian& p = key[std::abs(d) / 2];
                sum = sum.Plus(d > 0 ? p : Jacobian{p.x, F::Negate(p.y), p.z});
            }
        }
        return sum;
    }
};

}  // namespace vorlan::detail
