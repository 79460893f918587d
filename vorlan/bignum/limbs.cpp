#include "vorlan/bignum/limbs.h"

#include <bit>

#include "vorlan/support/progress.h"

namespace vorlan::detail {

int LimbsFromDigits(Limb* limbs, const DWORD* digits, int count) {
    const int n = (count + 1) / 2;
    for (int i = 0; i < count / 2; ++i) limbs[i] = digits[2 * i] | static_cast<Limb>(digits[2 * i + 1]) << 32;
    if (count % 2) limbs[n - 1] = digits[count - 1];
    return n;
}

void DigitsFromLimbs(DWORD* digits, int count, const Limb* limbs) {
    for (int i = 0; i < count; ++i) digits[i] = static_cast<DWORD>(limbs[i / 2] >> (32 * (i % 2)));
}

int SignificantLimbs(const Limb* a, int n) {
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

int CompareLimbs(const Limb* a, const Limb* b, int n) {
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

Limb SubLimbs(Limb* r, const Limb* a, const Limb* b, int n) {
    Limb borrow = 0;
    for (int i = 0; i < n; ++i) {
        const DLimb d = static_cast<DLimb>(a[i]) - b[i] - borrow;
        r[i] = static_cast<Limb>(d);
        borrow = static_cast<Limb>(d >> 64) & 1;
    }
    return borrow;
}

Limb AddLimbs(Limb* r, const Limb* a, const Limb* b, int n) {
    Limb carry = 0;
    for (int i = 0; i < n; ++i) {
        const DLimb s = static_cast<DLimb>(a[i]) + b[i] + carry;
        r[i] = static_cast<Limb>(s);
        carry = static_cast<Limb>(s >> 64);
    }
    return carry;
}

Limb MulAddRow(Limb* r, const Limb* a, int n, Limb m) {
    Limb carry = 0;
    for (int i = 0; i < n; ++i) {
        const DLimb p = static_cast<DLimb>(a[i]) * m + r[i] + carry;
        r[i] = static_cast<Limb>(p);
        carry = static_cast<Limb>(p >> 64);
    }
    return carry;
}

namespace {

// r[0..n-1] -= a[0..n-1] * m; the borrow out (a whole limb).
Limb MulSubRow(Limb* r, const Limb* a, int n, Limb m) {
    Limb borrow = 0;
    for (int i = 0; i < n; ++i) {
        const DLimb p = static_cast<DLimb>(a[i]) * m + borrow;
        const Limb lo = static_cast<Limb>(p);
        borrow = static_cast<Limb>(p >> 64) + (r[i] < lo);
        r[i] -= lo;
    }
    return borrow;
}

// Shifts n limbs left by s bits (s < 64) into r, returning the bits shifted out.
Limb ShiftLeft(Limb* r, const Limb* a, int n, int s) {
    if (s == 0) {
        for (int i = 0; i < n; ++i) r[i] = a[i];
        return 0;
    }
    Limb out = 0;
    for (int i = 0; i < n; ++i) {
        const Limb next = a[i] >> (64 - s);
        r[i] = a[i] << s | out;
        out = next;
    }
    return out;
}

// r = a >> s for n limbs (s < 64).
void ShiftRight(Limb* r, const Limb* a, int n, int s) {
    for (int i = 0; i < n; ++i) r[i] = s == 0 ? a[i] : (a[i] >> s | (i + 1 < n ? a[i + 1] << (64 - s) : 0));
}

// Division by one limb: the quotient into q (when not null), the remainder returned.
Limb DivModLimb(Limb* q, const Limb* a, int an, Limb b) {
    Limb rem = 0;
    for (int i = an - 1; i >= 0; --i) {
        __checkKillThreadFlag();
        const DLimb num = static_cast<DLimb>(rem) << 64 | a[i];
        const Limb qi = static_cast<Limb>(num / b);
        rem = static_cast<Limb>(num - static_cast<DLimb>(qi) * b);
        if (q) q[i] = qi;
    }
    return rem;
}

// Estimate of the quotient limb of the three top limbs u2 u1 u0 by the normalised
// divisor's top limbs v1 v0: at most one too large (Knuth's step D3).
Limb EstimateQuotient(Limb u2, Limb u1, Limb u0, Limb v1, Limb v0) {
    Limb qhat;
    DLimb rhat;
    if (u2 >= v1) {
        qhat = ~Limb{0};
        rhat = static_cast<DLimb>(u1) + v1;
    } else {
        const DLimb num = static_cast<DLimb>(u2) << 64 | u1;
        qhat = static_cast<Limb>(num / v1);
        rhat = num - static_cast<DLimb>(qhat) * v1;
    }
    while (rhat >> 64 == 0 && static_cast<DLimb>(qhat) * v0 > (rhat << 64 | u0)) {
        --qhat;
        rhat += v1;
    }
    return qhat;
}

}  // namespace

void MulLimbs(Limb* r, const Limb* a, int an, const Limb* b, int bn) {
    for (int i = 0; i < an + bn; ++i) r[i] = 0;
    for (int i = 0; i < an; ++i) {
        __checkKillThreadFlag();
        r[i + bn] = MulAddRow(r + i, b, bn, a[i]);
    }
}

void SqrLimbs(Limb* r, const Limb* a, int n) {
    for (int i = 0; i < 2 * n; ++i) r[i] = 0;
    // The products a[i]*a[j] for i < j, once each...
    for (int i = 0; i + 1 < n; ++i) {
        __checkKillThreadFlag();
        r[i + n] = MulAddRow(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    }
    // ...doubled, plus the squares a[i]^2 on the diagonal.
    Limb shifted = 0;
    Limb carry = 0;
    for (int i = 0; i < n; ++i) {
        const DLimb sq = static_cast<DLimb>(a[i]) * a[i];
        const Limb lo = r[2 * i] << 1 | shifted;
        const Limb hi = r[2 * i + 1] << 1 | r[2 * i] >> 63;
        shifted = r[2 * i + 1] >> 63;
        DLimb s = static_cast<DLimb>(lo) + static_cast<Limb>(sq) + carry;
        r[2 * i] = static_cast<Limb>(s);
        s = static_cast<DLimb>(hi) + static_cast<Limb>(sq >> 64) + static_cast<Limb>(s >> 64);
        r[2 * i + 1] = static_cast<Limb>(s);
        carry = static_cast<Limb>(s >> 64);
    }
}

void DivModLimbs(Limb* q, Limb* r, const Limb* a, int an, const Limb* b, int bn) {
    if (bn == 1) {
        r[0] = DivModLimb(q, a, an, b[0]);
        return;
    }
    // Normalise so that the divisor's top bit is set; the remainder is shifted back.
    CWipedLimbs<kMaxWideLimbs + 2> dividend;
    CWipedLimbs<kMaxLimbs> divisor;
    Limb* u = dividend.data;
    Limb* v = divisor.data;
    const int s = std::countl_zero(b[bn - 1]);
    ShiftLeft(v, b, bn, s);
    u[an] = ShiftLeft(u, a, an, s);
    for (int j = an - bn; j >= 0; --j) {
        __checkKillThreadFlag();
        Limb qhat = EstimateQuotient(u[j + bn], u[j + bn - 1], u[j + bn - 2], v[bn - 1], v[bn - 2]);
        const Limb borrow = MulSubRow(u + j, v, bn, qhat);
        const Limb top = u[j + bn];
        u[j + bn] = top - borrow;
        if (top < borrow) {
            // The estimate was one too large: add the divisor back once.
            --qhat;
            u[j + bn] += AddLimbs(u + j, u + j, v, bn);
        }
        if (q) q[j] = qhat;
    }
    ShiftRight(r, u, bn, s);
}

}  // namespace vorlan::detail
