// The NIST prime curves y^2 = x^3 - 3x + b of ECDSA verification (FIPS 186-5, SP 800-186):
// the field, the group order n, b and the base point G. Both have cofactor 1, so every
// point on the curve other than infinity lies in the group of G, and p ≡ 3 mod 4, so a
// square root is a single power.
#pragma once

#include "vorlan/ec/fieldproducts.h"

namespace vorlan::detail {

// (m + 1) / 4 for a prime m ≡ 3 mod 4.
template <int N>
constexpr Element<N> QuarterOfSuccessor(const Element<N>& m) {
    Element<N> r = m;
    Element<N> one{1};
    const Limb carry = AddElements<N>(r, r, one);
    for (int i = 0; i < N; ++i) r[i] = r[i] >> 2 | (i + 1 < N ? r[i + 1] << 62 : carry << 62);
    return r;
}

inline constexpr SModulus<4> kP256Prime =
    MakeModulus<4>(ElementFromHex<4>("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"));
inline constexpr SModulus<4> kP256Order =
    MakeModulus<4>(ElementFromHex<4>("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"));
inline constexpr SModulus<6> kP384Prime = MakeModulus<6>(ElementFromHex<6>(
    "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffeffffffff0000000000000000ffffffff"));
inline constexpr SModulus<6> kP384Order = MakeModulus<6>(ElementFromHex<6>(
    "ffffffffffffffffffffffffffffffffffffffffffffffffc7634d81f4372ddf581a0db248b0a77aecec196accc52973"));

template <auto& Prime, auto& Order, template <auto&> class Products>
struct SCurveArithmetic {
    using Field = CPrimeField<Prime, Products>;
    using Scalars = CPrimeField<Order, Products>;
    static constexpr int kLimbs = Field::N;
    // Octets of a coordinate or a scalar; the order has as many bits as the prime.
    static constexpr int kOctets = 8 * kLimbs;
    static constexpr Element<kLimbs> kSqrtExponent = QuarterOfSuccessor<kLimbs>(Prime.m);
};

// A curve with the Montgomery products of a policy of fieldproducts.h.
template <template <auto&> class Products>
struct CP256 : SCurveArithmetic<kP256Prime, kP256Order, Products> {
    static constexpr Element<4> kB =
        ElementFromHex<4>("5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b");
    static constexpr Element<4> kGx =
        ElementFromHex<4>("6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296");
    static constexpr Element<4> kGy =
        ElementFromHex<4>("4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
};

template <template <auto&> class Products>
struct CP384 : SCurveArithmetic<kP384Prime, kP384Order, Products> {
    static constexpr Element<6> kB = ElementFromHex<6>(
        "b3312fa7e23ee7e4988e056be3f82d19181d9c6efe8141120314088f5013875ac656398d8a2ed19d2a85c8edd3ec2aef");
    static constexpr Element<6> kGx = ElementFromHex<6>(
        "aa87ca22be8b05378eb1c71ef320ad746e1d3b628ba79b9859f741e082542a385502f25dbf55296c3a545e3872760ab7");
    static constexpr Element<6> kGy = ElementFromHex<6>(
        "3617de4a96262c6f5d9e98bf9292dc29f8f41dbd289a147ce9da3113b5f0b8c00a60b1ce1d7e819d7a431d7c90ea0e5f");
};

}  // namespace vorlan::detail
