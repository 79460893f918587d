#include "vorlan/rsa/rsaprivatepower.h"

#include <algorithm>

#include "vorlan/bignum/secretmodexp.h"
#include "vorlan/rsa/rsablock.h"
#include "vorlan/rsa/rsakeystate.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

constexpr int kMaxLimbs = CRsaKeyState::kMaxLimbs;
constexpr int kMaxHalfLimbs = kMaxLimbs / 2;
using CLimbs = CWipedLimbs<kMaxLimbs>;

// The CRT values at the primes' width, wiped when they die; `overflow` is not zero when
// one of them is wider.
struct CCrtValues {
    CCrtValues(const CRSAPrivateKey& key, int k)
        : overflow(ReadLimbs(p, k, key.prime1) | ReadLimbs(q, k, key.prime2) | ReadLimbs(dP, k, key.exponent1) |
                   ReadLimbs(dQ, k, key.exponent2) | ReadLimbs(qInv, k, key.coefficient)) {}
    CCrtValues(const CCrtValues&) = delete;
    CCrtValues& operator=(const CCrtValues&) = delete;
    ~CCrtValues() {
        for (Limb* value : {p, q, dP, dQ, qInv}) SecureWipe(value, sizeof p);
        SecureWipe(&overflow, sizeof overflow);
    }

    Limb p[kMaxHalfLimbs], q[kMaxHalfLimbs], dP[kMaxHalfLimbs], dQ[kMaxHalfLimbs], qInv[kMaxHalfLimbs];
    Limb overflow;
};

// r = c mod the domain's prime, for c below 2^(128k): c/R by Montgomery's reduction, times R
// by one product (below R, not always below the prime).
void ResidueModPrime(CMontgomeryDomain& prime, Limb* r, const Limb* c, int cn) {
    const int k = prime.Length();
    CLimbs t;
    std::copy(c, c + cn, t.data);
    std::fill(t.data + cn, t.data + 2 * k, 0);
    prime.Reduce(r, t.data);
    prime.Enter(r, r);
}

// s = c^d mod n through the CRT values, Garner's recombination without a branch. The
// mask returned is all ones when the values fit the primes' width and s < n.
Limb PowerByCrt(const CRSAPrivateKey& key, CRsaKeyState& state, Limb* s, const Limb* c) {
    const int kn = state.Limbs(), k = state.HalfLimbs();
    const CCrtValues v(key, k);
    CMontgomeryDomain dp(v.p, k, state.PrimePower(), kn), dq(v.q, k, state.PrimePower(), kn);
    CLimbs sp, sq, h, t;
    ResidueModPrime(dp, sp.data, c, kn);
    ResidueModPrime(dq, sq.data, c, kn);
    const CSecretPower powers[] = {{&dp, sp.data, sp.data, v.dP}, {&dq, sq.data, sq.data, v.dQ}};
    SecretModExpPair(powers, 64 * k);
    // h = qInv * (sp - sq) mod p, the difference brought up by p when it borrows.
    dp.Residue(h.data, sq.data);
    const Limb borrow = SubLimbs(h.data, sp.data, h.data, k);
    for (int i = 0; i < k; ++i) t.data[i] = v.p[i] & (0 - borrow);
    AddLimbs(h.data, h.data, t.data, k);
    dp.Enter(h.data, h.data);
    dp.Mul(h.data, h.data, v.qInv);
    dp.Residue(h.data, h.data);
    // s = sq + h*q, below p*q.
    MulLimbs(t.data, h.data, k, v.q, k);
    std::fill(sq.data + k, sq.data + 2 * k, 0);
    AddLimbs(t.data, t.data, sq.data, 2 * k);
    const Limb below = 0 - SubLimbs(h.data, t.data, state.Modulus(), 2 * k);
    std::copy(t.data, t.data + kn, s);
    return below & EqualMask(v.overflow, 0);
}

// Whether s is an e-th root of x modulo n, given that `usable` is set. Here a result
// leaves the constant-time part: it is the output, and whether the CRT values gave it is
// a property of the key, not of the input. Out of line so that a memory checker's
// report can name it.
[[gnu::noinline]] bool IsRootOfInput(Limb usable, const Limb* s, int kn, const CHugeDigit& x, const CHugeDigit& e,
                                     const CHugeDigit& n) {
    if (!usable) return false;
    return CHugeDigit::IsEqual(CHugeDigit::ModExp(NumberFromLimbs(s, kn), e, n), x);
}

// s = c^d mod n with the private exponent, all its bits however short the modulus.
void ExponentPower(const CRSAPrivateKey& key, CRsaKeyState& state, Limb* s, const Limb* c) {
    CLimbs d;
    ReadLimbs(d.data, kMaxLimbs, key.privateExponent);
    SecretModExp(state.Domain(), s, c, d.data, 64 * kMaxLimbs);
}

// The blinded input of this operation, or x itself when the key allows no blinding.
bool Blind(CRsaKeyState& state, Limb* c, const Limb* x) {
    if (!state.NextPair()) {
        std::copy(x, x + state.Limbs(), c);
        return false;
    }
    state.Blind(c, x);
    return true;
}

// s = x^d mod n with the private exponent; a blinded result is checked, since the
// blinding assumes that e and d are inverses.
void CheckedExponentPower(const CRSAPrivateKey& key, CRsaKeyState& state, Limb* s, const Limb* x, const CHugeDigit& xn,
                          const CHugeDigit& e, const CHugeDigit& n) {
    CLimbs c;
    if (Blind(state, c.data, x)) {
        ExponentPower(key, state, s, c.data);
        state.Unblind(s, s);
        if (IsRootOfInput(~Limb{0}, s, state.Limbs(), xn, e, n)) return;
    }
    ExponentPower(key, state, s, x);
}

// Montgomery's products need an odd modulus. An even one is no RSA key: its power is
// taken as any other.
CHugeDigit PowerOfEvenModulus(const CRSAPrivateKey& key, const CHugeDigit& x, const CHugeDigit& n) {
    return CHugeDigit::ModExp(x, ReadNumber(key.privateExponent, CRSAPublicKey::kFieldSize), n);
}

// s = x^d mod n through the CRT values, blinded; false when they do not give a root of x.
bool CheckedCrtPower(const CRSAPrivateKey& key, CRsaKeyState& state, Limb* s, const Limb* x, const CHugeDigit& xn,
                     const CHugeDigit& e, const CHugeDigit& n) {
    CLimbs c;
    const bool blinded = Blind(state, c.data, x);
    const Limb usable = PowerByCrt(key, state, s, c.data);
    if (blinded) state.Unblind(s, s);
    return IsRootOfInput(usable, s, state.Limbs(), xn, e, n);
}

}  // namespace

void PrivatePower(const CRSAPrivateKey& key, const CHugeDigit& x, const CHugeDigit& n, WORD k, CByteArray& out) {
    if (n.EVEN()) return WriteNumber(PowerOfEvenModulus(key, x, n), k, out);
    CRsaKeyState& state = CRsaKeyState::For(key);
    const CHugeDigit e = ReadNumber(key.publicExponent, CRSAPublicKey::kFieldSize);
    CLimbs xl, s;
    LimbsFromNumber(xl.data, state.Limbs(), x);
    // Without a public exponent a CRT result cannot be checked.
    if (e.Zero() || !CheckedCrtPower(key, state, s.data, xl.data, x, e, n))
        CheckedExponentPower(key, state, s.data, xl.data, x, e, n);
    WriteLimbs(s.data, state.Limbs(), k, out);
}

CHugeDigit PrivateExponentPower(const CRSAPrivateKey& key, const CHugeDigit& x, const CHugeDigit& n) {
    if (n.EVEN()) return PowerOfEvenModulus(key, x, n);
    CRsaKeyState& state = CRsaKeyState::For(key);
    CLimbs xl, s;
    LimbsFromNumber(xl.data, state.Limbs(), x);
    CheckedExponentPower(key, state, s.data, xl.data, x, ReadNumber(key.publicExponent, CRSAPublicKey::kFieldSize),
                         n);
    return NumberFromLimbs(s.data, state.Limbs());
}

}  // namespace vorlan::detail
