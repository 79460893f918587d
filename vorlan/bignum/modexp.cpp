#include "vorlan/bignum/modexp.h"

#include <algorithm>

#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

// Residues held as they are; each product is followed by a full division, by a
// buffer wiped at the end because it holds powers of the base.
class CDivisionReducer {
public:
    CDivisionReducer(const Limb* m, int n) : m_m(m), m_n(n) {}
    CDivisionReducer(const CDivisionReducer&) = delete;
    CDivisionReducer& operator=(const CDivisionReducer&) = delete;
    ~CDivisionReducer() { SecureWipe(m_t, sizeof(Limb) * 2 * m_n); }

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

private:
    const Limb* m_m;
    int m_n;
    Limb m_t[2 * kMaxModLimbs];
};

// Window width by exponent size: fewer products against a larger table of powers.
int WindowBits(int ebits) { return ebits > 671 ? 6 : ebits > 239 ? 5 : ebits > 79 ? 4 : ebits > 23 ? 3 : 1; }

int Bit(const DWORD* e, int i) { return e[i / 32] >> (i % 32) & 1; }

// The powers of the base and the running value, wiped when they die, also when a
// cancellation unwinds through them.
struct CPowers {
    CPowers(int count, int n) : used(count * n), n(n) {}
    CPowers(const CPowers&) = delete;
    CPowers& operator=(const CPowers&) = delete;
    ~CPowers() {
        SecureWipe(table, sizeof(Limb) * used);
        SecureWipe(square, sizeof(Limb) * n);
        SecureWipe(acc, sizeof(Limb) * n);
    }

    Limb table[(1 << 5) * kMaxModLimbs];  // base^1, base^3, ..., base^(2*count-1)
    Limb square[kMaxModLimbs];
    Limb acc[kMaxModLimbs];
    int used;
    int n;
};

// Left-to-right sliding windows: each window of at most w bits that starts and ends
// with a one is one product with a precomputed odd power of the base.
template <class Reducer>
void Exponentiate(Reducer& reducer, Limb* r, const Limb* base, const DWORD* e, int ebits, int n) {
    const int w = WindowBits(ebits);
    CPowers p(1 << (w - 1), n);
    reducer.Enter(p.table, base);
    if (w > 1) {
        reducer.Sqr(p.square, p.table);
        for (int k = 1; k < 1 << (w - 1); ++k) reducer.Mul(p.table + k * n, p.table + (k - 1) * n, p.square);
    }
    bool started = false;
    for (int i = ebits - 1; i >= 0;) {
        if (!Bit(e, i)) {
            reducer.Sqr(p.acc, p.acc);  // the top bit is set, so acc has been started
            --i;
            continue;
        }
        int low = std::max(i - w + 1, 0);
        while (!Bit(e, low)) ++low;
        int value = 0;
        for (int k = i; k >= low; --k) value = value << 1 | Bit(e, k);
        const Limb* power = p.table + (value >> 1) * n;
        if (started) {
            for (int k = low; k <= i; ++k) reducer.Sqr(p.acc, p.acc);
            reducer.Mul(p.acc, p.acc, power);
        } else {
            std::copy(power, power + n, p.acc);
            started = true;
        }
        i = low - 1;
    }
    reducer.Leave(r, p.acc);
}

}  // namespace

void ModExpLimbs(Limb* r, const Limb* base, const DWORD* e, int ebits, const Limb* m, int n) {
    if (m[0] & 1) {
        CMontgomeryDomain reducer(m, n);
        Exponentiate(reducer, r, base, e, ebits, n);
    } else {
        CDivisionReducer reducer(m, n);
        Exponentiate(reducer, r, base, e, ebits, n);
    }
}

}  // namespace vorlan::detail
