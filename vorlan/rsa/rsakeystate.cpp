#include "vorlan/rsa/rsakeystate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "vorlan/random/randomsgenerator.h"
#include "vorlan/rsa/rsablock.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

// A few keys per thread, so that a client signing with two or three keys in turn keeps
// their states.
constexpr int kStatesPerThread = 4;
// Draws of r before giving up on a modulus that has no invertible r (a broken key).
constexpr int kDrawAttempts = 4;

// r = 2^(64 * exponentLimbs) mod n (public values, so a division will do).
void PowerOfTwo(Limb* r, int exponentLimbs, const Limb* n, int limbs) {
    Limb t[4 * CRsaKeyState::kMaxLimbs + 1] = {};
    t[exponentLimbs] = 1;
    DivModLimbs(nullptr, r, t, exponentLimbs + 1, n, limbs);
}

// r = base^e in Montgomery form, e public: squares and products by its bits.
void PublicPower(CMontgomeryDomain& domain, Limb* r, const Limb* base, const Limb* e, int ebits) {
    std::copy(base, base + domain.Length(), r);
    for (int i = ebits - 2; i >= 0; --i) {
        domain.Sqr(r, r);
        if (e[i / 64] >> (i % 64) & 1) domain.Mul(r, r, base);
    }
}

}  // namespace

CRsaKeyState& CRsaKeyState::For(const CRSAPublicKey& key) {
    thread_local std::array<std::unique_ptr<CRsaKeyState>, kStatesPerThread> states;
    thread_local int next = 0;
    for (auto& state : states)
        if (state && state->Matches(key)) return *state;
    auto made = std::make_unique<CRsaKeyState>(key);
    std::unique_ptr<CRsaKeyState>& slot = states[next];
    next = (next + 1) % kStatesPerThread;
    slot = std::move(made);
    return *slot;
}

CRsaKeyState::CRsaKeyState(const CRSAPublicKey& key) {
    std::memcpy(m_modulusField, key.modulus, sizeof m_modulusField);
    std::memcpy(m_exponentField, key.publicExponent, sizeof m_exponentField);
    ReadLimbs(m_modulus, kMaxLimbs, key.modulus);
    ReadLimbs(m_exponent, kMaxLimbs, key.publicExponent);
    m_limbs = SignificantLimbs(m_modulus, kMaxLimbs);
    const int exponentLimbs = SignificantLimbs(m_exponent, kMaxLimbs);
    m_exponentBits = exponentLimbs == 0 ? 0 : 64 * exponentLimbs - std::countl_zero(m_exponent[exponentLimbs - 1]);
    m_domain = std::make_unique<CMontgomeryDomain>(m_modulus, m_limbs);
    PowerOfTwo(m_primePower, 4 * HalfLimbs(), m_modulus, m_limbs);
}

CRsaKeyState::~CRsaKeyState() {
    SecureWipe(m_blind, sizeof m_blind);
    SecureWipe(m_unblind, sizeof m_unblind);
}

bool CRsaKeyState::Matches(const CRSAPublicKey& key) const {
    return std::memcmp(m_modulusField, key.modulus, sizeof m_modulusField) == 0 &&
           std::memcmp(m_exponentField, key.publicExponent, sizeof m_exponentField) == 0;
}

bool CRsaKeyState::NextPair() {
    if (m_exponentBits == 0) return false;
    // Made aside and kept only when complete: a cancellation must not leave half a pair.
    CWipedLimbs<kMaxLimbs> blind, unblind;
    if (m_uses % kUsesPerDraw == 0) {
        if (!DrawPair(blind.data, unblind.data)) return false;
    } else {
        m_domain->Sqr(blind.data, m_blind);
        m_domain->Sqr(unblind.data, m_unblind);
    }
    std::copy(blind.data, blind.data + m_limbs, m_blind);
    std::copy(unblind.data, unblind.data + m_limbs, m_unblind);
    ++m_uses;
    return true;
}

bool CRsaKeyState::DrawPair(Limb* blind, Limb* unblind) {
    CMontgomeryDomain& domain = *m_domain;
    const CHugeDigit n = NumberFromLimbs(m_modulus, m_limbs);
    const auto octets = static_cast<unsigned long>(sizeof(Limb) * m_limbs);
    CRandomsGenerator random;
    for (int attempt = 0; attempt < kDrawAttempts; ++attempt) {
        CWipedLimbs<kMaxLimbs> r, b, y;
        random.GetRandomBlock(reinterpret_cast<unsigned char*>(r.data), octets);
        random.GetRandomBlock(reinterpret_cast<unsigned char*>(b.data), octets);
        domain.Enter(r.data, r.data);
        domain.Enter(b.data, b.data);
        // r*b may be disclosed, b hides r in it: its inverse, found by Euclid's variable
        // steps, times b is r^-1.
        domain.Mul(y.data, r.data, b.data);
        domain.Leave(y.data, y.data);
        const CHugeDigit rb = NumberFromLimbs(y.data, m_limbs);
        const CHugeDigit inverse = CHugeDigit::ModInv(rb, n);
        if (!CHugeDigit::IsEqual(CHugeDigit::ModMult(rb, inverse, n), CHugeDigit(1))) continue;
        LimbsFromNumber(y.data, m_limbs, inverse);
        domain.Enter(y.data, y.data);
        domain.Mul(unblind, y.data, b.data);
        PublicPower(domain, blind, r.data, m_exponent, m_exponentBits);
        return true;
    }
    return false;
}

void CRsaKeyState::Blind(Limb* r, const Limb* x) { m_domain->Mul(r, x, m_blind); }

void CRsaKeyState::Unblind(Limb* r, const Limb* y) {
    m_domain->Mul(r, y, m_unblind);
    m_domain->Residue(r, r);
}

}  // namespace vorlan::detail
