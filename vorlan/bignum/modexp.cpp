#include "vorlan/bignum/modexp.h"

#include <algorithm>

#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

namespace detail {
namespace {

// What both reducers share: the modulus and one product buffer, wiped at the end
// because it holds powers of the base.
class CReducerBase {
public:
    CReducerBase(const Limb* m, int n) : m_m(m), m_n(n) {}
    CReducerBase(const CReducerBase&) = delete;
    CReducerBase& operator=(const CReducerBase&) = delete;
    ~CReducerBase() { SecureWipe(m_t, sizeof m_t); }

protected:
    const Limb* m_m;
    int m_n;
    Limb m_t[2 * kMaxModLimbs + 1];
};

// Residues x are held as x*R mod m, R = 2^(64n); a product is reduced by adding a
// multiple of m that clears the low n limbs and dropping them (m must be odd).
class CMontgomeryReducer : public CReducerBase {
public:
    CMontgomeryReducer(const Limb* m, int n) : CReducerBase(m, n) {
        // m^-1 mod 2^64 by Newton's iteration: m*m = 1 mod 8, and each step doubles
        // the count of correct low bits.
        Limb inverse = m[0];
        for (int i = 0; i < 5; ++i) inverse *= 2 - m[0] * inverse;
        m_minv = 0 - inverse;
        for (int i = 0; i < 2 * n; ++i) m_t[i] = 0;
        m_t[2 * n] = 1;
        DivModLimbs(nullptr, m_rr, m_t, 2 * n + 1, m, n);
    }

    void Mul(Limb* r, const Limb* a, const Limb* b) {
        Multiply(r, [a, b, n = m_n](CAccumulator& acc, int k) {
            for (int j = std::max(0, k - n + 1); j <= std::min(k, n - 1); ++j) acc.MulAdd(a[j], b[k - j]);
        });
    }
    // Each cross product a[j]*a[k-j] is formed once and doubled.
    void Sqr(Limb* r, const Limb* a) {
        Multiply(r, [a, n = m_n](CAccumulator& acc, int k) {
            CAccumulator cross;
            for (int j = std::max(0, k - n + 1); j < k - j; ++j) cross.MulAdd(a[j], a[k - j]);
            acc.AddDoubled(cross);
            if (k % 2 == 0 && k / 2 < n) acc.MulAdd(a[k / 2], a[k / 2]);
        });
    }
    void Enter(Limb* r, const Limb* x) { Mul(r, x, m_rr); }
    void Leave(Limb* r, const Limb* x) {
        const Limb one[kMaxModLimbs] = {1};
        Mul(r, x, one);
    }

private:
    // A 192-bit column sum.
    struct CAccumulator {
        Limb c0 = 0, c1 = 0, c2 = 0;
        void MulAdd(Limb x, Limb y) {
            const DLimb p = static_cast<DLimb>(x) * y;
            const DLimb s = (static_cast<DLimb>(c1) << 64 | c0) + p;
            c2 += s < p;
            c0 = static_cast<Limb>(s);
            c1 = static_cast<Limb>(s >> 64);
        }
        void Add(Limb x0, Limb x1, Limb x2) {
            DLimb s = static_cast<DLimb>(c0) + x0;
            c0 = static_cast<Limb>(s);
            s = static_cast<DLimb>(c1) + x1 + static_cast<Limb>(s >> 64);
            c1 = static_cast<Limb>(s);
            c2 += x2 + static_cast<Limb>(s >> 64);
        }
        void AddDoubled(const CAccumulator& x) { Add(x.c0 << 1, x.c1 << 1 | x.c0 >> 63, x.c2 << 1 | x.c1 >> 63); }
        void Shift() {
            c0 = c1;
            c1 = c2;
            c2 = 0;
        }
    };

    // Montgomery product by product scanning: for each column k, the column of the
    // product (added by column) and of u*m, where u[k] is chosen to clear column k
    // for k < n; the columns from n up form the result, below 2m.
    template <class Column>
    void Multiply(Limb* r, const Column& column) {
        const int n = m_n;
        Limb* u = m_t;
        Limb* out = m_t + n;
        CAccumulator acc;
        for (int k = 0; k < 2 * n; ++k) {
            __checkKillThreadFlag();
            column(acc, k);
            for (int j = std::max(0, k - n + 1); j < std::min(k, n); ++j) acc.MulAdd(u[j], m_m[k - j]);
            if (k < n) {
                u[k] = acc.c0 * m_minv;
                acc.MulAdd(u[k], m_m[0]);
            } else {
                out[k - n] = acc.c0;
            }
            acc.Shift();
        }
        Finish(r, out, acc.c0);
    }

    // r = t mod m for t below 2m, t + top*R being the value.
    void Finish(Limb* r, const Limb* t, Limb top) {
        if (top || CompareLimbs(t, m_m, m_n) >= 0)
            SubLimbs(r, t, m_m, m_n);
        else
            std::copy(t, t + m_n, r);
    }

    Limb m_minv;
    Limb m_rr[kMaxModLimbs];  // R^2 mod m
};

// Residues held as they are; each product is followed by a full division.
class CDivisionReducer : public CReducerBase {
public:
    using CReducerBase::CReducerBase;

    void Mul(Limb* r, const Limb* a, const Limb* b) {
        MulLimbs(m_t, a, m_n, b, m_n);
        DivModLimbs(nullptr, r, m_t, 2 * m_n, m_m, m_n);
    }
    void Sqr(Limb* r, const Limb* a) {
        SqrLimbs(m_t, a, m_n);
        DivModLimbs(nullptr, r, m_t, 2 * m_n, m_m, m_n);
    }
    void Enter(Limb* r, const Limb* x) { std::copy(x, x + m_n, r); }
    void Leave(Limb* r, const Limb* x) { std::copy(x, x + m_n, r); }
};

// Window width by exponent size: fewer products against a larger table of powers.
int WindowBits(int ebits) {
    return ebits > 671 ? 6 : ebits > 239 ? 5 : ebits > 79 ? 4 : ebits > 23 ? 3 : 1;
}

int Bit(const DWORD* e, int i) { return e[i / 32] >> (i % 32) & 1; }

// Left-to-right sliding windows: each window of at most w bits that starts and ends
// with a one is one product with a precomputed odd power of the base.
template <class Reducer>
void Exponentiate(Reducer& reducer, Limb* r, const Limb* base, const DWORD* e, int ebits, int n) {
    const int w = WindowBits(ebits);
    const int powers = 1 << (w - 1);
    Limb table[(1 << 5) * kMaxModLimbs];  // base^1, base^3, ..., base^(2*powers-1)
    Limb square[kMaxModLimbs];
    Limb acc[kMaxModLimbs];
    reducer.Enter(table, base);
    if (powers > 1) {
        reducer.Sqr(square, table);
        for (int k = 1; k < powers; ++k) reducer.Mul(table + k * n, table + (k - 1) * n, square);
    }
    bool started = false;
    for (int i = ebits - 1; i >= 0;) {
        if (!Bit(e, i)) {
            reducer.Sqr(acc, acc);  // the top bit is set, so acc has been started
            --i;
            continue;
        }
        int low = std::max(i - w + 1, 0);
        while (!Bit(e, low)) ++low;
        int value = 0;
        for (int k = i; k >= low; --k) value = value << 1 | Bit(e, k);
        const Limb* power = table + (value >> 1) * n;
        if (started) {
            for (int k = low; k <= i; ++k) reducer.Sqr(acc, acc);
            reducer.Mul(acc, acc, power);
        } else {
            std::copy(power, power + n, acc);
            started = true;
        }
        i = low - 1;
    }
    reducer.Leave(r, acc);
    SecureWipe(table, sizeof(Limb) * powers * n);
    SecureWipe(square, sizeof square);
    SecureWipe(acc, sizeof acc);
}

}  // namespace

void ModExpLimbs(Limb* r, const Limb* base, const DWORD* e, int ebits, const Limb* m, int n) {
    if (m[0] & 1) {
        CMontgomeryReducer reducer(m, n);
        Exponentiate(reducer, r, base, e, ebits, n);
    } else {
        CDivisionReducer reducer(m, n);
        Exponentiate(reducer, r, base, e, ebits, n);
    }
}

}  // namespace detail
