// Points of a curve y^2 = x^3 - 3x + b in affine and Jacobian coordinates (x = X/Z^2,
// y = Y/Z^3), coordinates in Montgomery form. The sums handle every special case by
// branching (the points are public): the point at infinity (Z = 0) on either side, P + P,
// which is doubled, and P + (-P), which gives infinity. The curves have no point of order
// two, so a doubling never meets y = 0 except at infinity, which it keeps.
#pragma once

#include "vorlan/ec/primefield.h"

namespace vorlan::detail {

template <class Curve>
struct SAffinePoint {
    Element<Curve::kLimbs> x, y;
};

template <class Curve>
struct SJacobianPoint {
    using F = typename Curve::Field;
    using E = Element<Curve::kLimbs>;

    E x, y, z;

    static SJacobianPoint Infinity() { return {F::One(), F::One(), E{}}; }
    static SJacobianPoint From(const SAffinePoint<Curve>& p) { return {p.x, p.y, F::One()}; }
    bool IsInfinity() const { return F::IsZero(z); }

    // 2P with a = -3 (3M + 5S): alpha = 3(X - Z^2)(X + Z^2).
    SJacobianPoint Doubled() const {
        const E delta = F::Sqr(z);
        const E gamma = F::Sqr(y);
        const E beta = F::Mul(x, gamma);
        const E product = F::Mul(F::Sub(x, delta), F::Add(x, delta));
        const E alpha = F::Add(product, F::Add(product, product));
        const E beta4 = Times4(beta);
        SJacobianPoint r;
        r.x = F::Sub(F::Sqr(alpha), F::Add(beta4, beta4));
        r.z = F::Sub(F::Sub(F::Sqr(F::Add(y, z)), gamma), delta);
        const E gamma4 = Times4(F::Sqr(gamma));
        r.y = F::Sub(F::Mul(alpha, F::Sub(beta4, r.x)), F::Add(gamma4, gamma4));
        return r;
    }

    // P + Q (12M + 4S).
    SJacobianPoint Plus(const SJacobianPoint& q) const {
        if (IsInfinity()) return q;
        if (q.IsInfinity()) return *this;
        const E zz1 = F::Sqr(z), zz2 = F::Sqr(q.z);
        const E u1 = F::Mul(x, zz2), u2 = F::Mul(q.x, zz1);
        const E s1 = F::Mul(y, F::Mul(q.z, zz2)), s2 = F::Mul(q.y, F::Mul(z, zz1));
        return Combine(u1, s1, F::Sub(u2, u1), F::Sub(s2, s1), F::Mul(z, q.z));
    }

    // P + Q for an affine Q (8M + 3S).
    SJacobianPoint Plus(const SAffinePoint<Curve>& q) const {
        if (IsInfinity()) return From(q);
        const E zz = F::Sqr(z);
        const E u2 = F::Mul(q.x, zz), s2 = F::Mul(q.y, F::Mul(z, zz));
        return Combine(x, y, F::Sub(u2, x), F::Sub(s2, y), z);
    }

    SAffinePoint<Curve> ToAffine() const {
        const E zinv = F::Inverse(z);
        const E zinv2 = F::Sqr(zinv);
        return {F::Mul(x, zinv2), F::Mul(y, F::Mul(zinv2, zinv))};
    }

private:
    static E Times4(const E& a) {
        const E a2 = F::Add(a, a);
        return F::Add(a2, a2);
    }

    // The sum from U1 = X1·Z2^2, S1 = Y1·Z2^3, H = U2 - U1, r = S2 - S1 and Z1·Z2; H = 0
    // means equal x: the same point (r = 0) or its negative.
    SJacobianPoint Combine(const E& u1, const E& s1, const E& h, const E& r, const E& z1z2) const {
        if (F::IsZero(h)) return F::IsZero(r) ? Doubled() : Infinity();
        const E hh = F::Sqr(h);
        const E hhh = F::Mul(h, hh);
        const E v = F::Mul(u1, hh);
        SJacobianPoint sum;
        sum.x = F::Sub(F::Sub(F::Sqr(r), hhh), F::Add(v, v));
        sum.y = F::Sub(F::Mul(r, F::Sub(v, sum.x)), F::Mul(s1, hhh));
        sum.z = F::Mul(z1z2, h);
        return sum;
    }
};

// x^3 - 3x + b, the square of y for a point with this x, all in Montgomery form.
template <class Curve>
Element<Curve::kLimbs> CurveRightSide(const Element<Curve::kLimbs>& x) {
    using F = typename Curve::Field;
    const auto three = F::Add(F::One(), F::Add(F::One(), F::One()));
    return F::Add(F::Mul(F::Sub(F::Sqr(x), three), x), F::ToMontgomery(Curve::kB));
}

}  // namespace vorlan::detail
