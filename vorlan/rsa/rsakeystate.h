// What the private operation keeps, per thread, for a public key (n, e): the Montgomery
// domain of n and the powers of R it needs from divisions by n, and the blinding pair
// (r^e, r^-1) mod n. The input is multiplied by r^e before the exponentiation and the
// result by r^-1 after it, so that what the exponentiation works on is unknown to
// whoever chose the input.
#pragma once

#include <memory>

#include "vorlan/bignum/montgomerydomain.h"
#include "vorlan/rsa/rsapublickey.h"

namespace vorlan::detail {

class CRsaKeyState {
public:
    // RSA moduli: the limbs of a key field.
    static constexpr int kMaxLimbs = CRSAPublicKey::kFieldSize / 8;
    // A pair is squared for the next operation this many times, then drawn afresh.
    static constexpr int kUsesPerDraw = 32;

    // The calling thread's state for the key's modulus and public exponent, made on
    // first use. The modulus must be odd.
    static CRsaKeyState& For(const CRSAPublicKey& key);

    CRsaKeyState(const CRSAPublicKey& key);
    CRsaKeyState(const CRsaKeyState&) = delete;
    CRsaKeyState& operator=(const CRsaKeyState&) = delete;
    ~CRsaKeyState();

    int Limbs() const { return m_limbs; }
    // The limb width of the CRT primes: half the modulus, rounded up.
    int HalfLimbs() const { return (m_limbs + 1) / 2; }
    // n in kMaxLimbs limbs, zeros above Limbs().
    const Limb* Modulus() const { return m_modulus; }
    CMontgomeryDomain& Domain() { return *m_domain; }
    // 2^(256 * HalfLimbs()) mod n: R^4 for the primes' Montgomery domains.
    const Limb* PrimePower() const { return m_primePower; }

    // Makes the pair of this operation: the last one squared, or a fresh r from the
    // random source every kUsesPerDraw operations. False when the key allows no
    // blinding (a zero public exponent, or no r found invertible modulo n).
    bool NextPair();
    // r = x * r^e mod n (below R) and r = y * r^-1 mod n (below n), for x and y below R.
    void Blind(Limb* r, const Limb* x);
    void Unblind(Limb* r, const Limb* y);

private:
    bool Matches(const CRSAPublicKey& key) const;
    bool DrawPair(Limb* blind, Limb* unblind);

    BYTE m_modulusField[CRSAPublicKey::kFieldSize];
    BYTE m_exponentField[CRSAPublicKey::kFieldSize];
    int m_limbs;
    Limb m_modulus[kMaxLimbs];
    Limb m_exponent[kMaxLimbs];
    int m_exponentBits;
    Limb m_primePower[kMaxLimbs];
    std::unique_ptr<CMontgomeryDomain> m_domain;
    // r^e and r^-1 in Montgomery form, and the operations since r was drawn.
    Limb m_blind[kMaxLimbs];
    Limb m_unblind[kMaxLimbs];
    int m_uses = 0;
};

}  // namespace vorlan::detail
