#include "vorlan/rsa/rsakeypair.h"

#include <array>
#include <atomic>
#include <utility>

#include "vorlan/random/randomsgenerator.h"
#include "vorlan/rsa/rsablock.h"
#include "vorlan/rsa/rsaprivatepower.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

using vorlan::detail::Difference;
using vorlan::detail::PrivateExponentPower;
using vorlan::detail::Product;
using vorlan::detail::ReadNumber;
using vorlan::detail::Sum;

namespace {

// Below 4 bits a prime range is empty.
constexpr unsigned short kMaxKeyBits = CRSAKeyPair::kMaxBits;
constexpr unsigned short kMinKeyBits = 4;
constexpr int kTestMessageSize = 24;

// Progress of the prime search, shared by the whole process: one key generation with
// a progress object at a time. The position advances at every candidate at first and
// ever more slowly: the candidates per step double every 51 candidates.
class CSearchProgress {
public:
    void Restart() { m_position = 0; }

    void Begin(const CProgress* progress) {
        if (!progress || m_position != 0) return;
        progress->SetUp(100, 0, 1, 0);
        m_candidates = 0;
        m_interval = 1;
        m_sinceStep = 0;
    }

    void Candidate(const CProgress* progress) {
        if (!progress) return;
        if (++m_candidates == kCandidatesPerDoubling) {
            m_candidates = 0;
            m_interval = m_interval * 2;
        }
        if (++m_sinceStep == m_interval) {
            progress->SetUp(100, 0, 1, static_cast<unsigned short>(++m_position));
            m_sinceStep = 0;
        }
    }

private:
    static constexpr unsigned kCandidatesPerDoubling = 100 / 2 + 1;
    // Atomic so that generations without progress in other threads stay well defined.
    std::atomic<unsigned> m_position{0};
    std::atomic<unsigned> m_candidates{0};
    std::atomic<unsigned> m_interval{1};
    std::atomic<unsigned> m_sinceStep{0};
};

CSearchProgress g_searchProgress;

CHugeDigit PowerOfTwo(unsigned n) {
    CHugeDigit value(static_cast<WORD>(n / 32 + 1), 0);
    value.Assign2Exp(static_cast<WORD>(n));
    return value;
}

}  // namespace

CHugeDigit CRSAKeyPair::PrimeNumber(const CHugeDigit& b, const CHugeDigit& c, DWORD d, const unsigned char* seed,
                                    unsigned short seedLen, CProgress* progress) {
    g_searchProgress.Begin(progress);
    // The start covers the whole range: 2,048 random bits reduced modulo its width.
    vorlan::detail::CWipedOctets<kFieldSize> octets;
    CRandomsGenerator(seed, seedLen).GetRandomBlock(octets.data, sizeof octets.data);
    const CHugeDigit start = ReadNumber(octets.data, sizeof octets.data);

    const CHugeDigit step(d);
    const CHugeDigit one(1);
    CHugeDigit a = Sum(CHugeDigit::Mod(start, Sum(Difference(c, b), one)), b);
    a = Sum(Difference(a, CHugeDigit::Mod(a, step)), one);
    if (CHugeDigit::IsLess(a, b)) a = Sum(a, step);
    if (CHugeDigit::IsGreater(a, c)) a = Difference(a, step);

    const CHugeDigit last = Difference(c, step);
    while (!a.IsProbablePrime()) {
        __freshenThreadQueue();
        __checkKillThreadFlag();
        if (CHugeDigit::IsGreater(a, last))
            AfxThrowUnlockException(progress ? "Warning! CRSAKeyPair::PrimeNumber - prime number search failured"
                                             : "CRSAKeyPair::PrimeNumber - prime number search failed");
        a = Sum(a, step);
        g_searchProgress.Candidate(progress);
    }
    return a;
}

CHugeDigit CRSAKeyPair::SearchPrime(unsigned short primeBits, const CHugeDigit& e, const unsigned char* seed,
                                    unsigned short seedLen, CProgress* progress) {
    // [3 * 2^(k-2), 2^k - 1]: the product of two such primes has exactly the sum of their bits.
    const CHugeDigit low = Sum(PowerOfTwo(primeBits - 1u), PowerOfTwo(primeBits - 2u));
    const CHugeDigit high = Difference(PowerOfTwo(primeBits), CHugeDigit(1));
    const CHugeDigit one(1);
    for (;;) {
        CHugeDigit p = PrimeNumber(low, high, 2, seed, seedLen, progress);
        if (CHugeDigit::IsEqual(CHugeDigit::Gcd(Difference(p, one), e), one)) return p;
    }
}

CRSAKeyPair::CRSAKeyPair(unsigned short keyBits, int useF4, const unsigned char* seed, unsigned short seedLen,
                         CProgress* progress) {
    if (keyBits > kMaxKeyBits || keyBits < kMinKeyBits)
        AfxThrowUnlockException("CRSAKeyPair::CRSAKeyPair - key size is not supported");
    bits = keyBits;
    const unsigned short pBits = static_cast<unsigned short>((keyBits + 1) / 2);
    const unsigned short qBits = static_cast<unsigned short>(keyBits - pBits);
    const CHugeDigit e(useF4 ? 65537u : 3u);
    g_searchProgress.Restart();

    CHugeDigit p = SearchPrime(pBits, e, seed, seedLen, progress);
    CHugeDigit q = SearchPrime(qBits, e, seed, seedLen, progress);
    // Equal primes are possible only for tiny keys, and give no RSA key.
    while (CHugeDigit::IsEqual(p, q)) q = SearchPrime(qBits, e, seed, seedLen, progress);
    if (progress) progress->SetUp(1, 0, 1, 1);
    if (CHugeDigit::IsLess(p, q)) std::swap(p, q);

    const CHugeDigit one(1);
    const CHugeDigit pMinus1 = Difference(p, one);
    const CHugeDigit qMinus1 = Difference(q, one);
    const CHugeDigit d = CHugeDigit::ModInv(e, Product(pMinus1, qMinus1));
    // Each value big-endian and right-aligned in its field.
    Product(p, q).Encode(modulus, kFieldSize);
    e.Encode(publicExponent, kFieldSize);
    d.Encode(privateExponent, kFieldSize);
    p.Encode(prime1, kHalfFieldSize);
    q.Encode(prime2, kHalfFieldSize);
    CHugeDigit::Mod(d, pMinus1).Encode(exponent1, kHalfFieldSize);
    CHugeDigit::Mod(d, qMinus1).Encode(exponent2, kHalfFieldSize);
    CHugeDigit::ModInv(q, p).Encode(coefficient, kHalfFieldSize);
    if (progress) progress->SetUp(0, 0, 1, 0);
}

unsigned short CRSAKeyPair::TestKeys(unsigned short trials, CProgress* progress, int stopAtFirstFailure) const {
    const CHugeDigit n = ReadNumber(modulus, kFieldSize);
    if (n.Zero()) AfxThrowUnlockException("CRSAKeyPair::TestKeys - key is not valid");
    const CHugeDigit e = ReadNumber(publicExponent, kFieldSize);
    // Powers of e and of d, the latter by the private operation's exponentiation.
    const auto byE = [&](const CHugeDigit& x) { return CHugeDigit::ModExp(x, e, n); };
    const auto byD = [&](const CHugeDigit& x) { return PrivateExponentPower(*this, CHugeDigit::Mod(x, n), n); };
    if (progress) progress->SetUp(2 * trials, 1, 1, 1);

    CRandomsGenerator random;
    unsigned short failures = 0;
    for (unsigned short trial = 0; trial < trials; ++trial) {
        std::array<BYTE, kTestMessageSize> octets{};
        random.GetRandomBlock(octets.data(), octets.size());
        const CHugeDigit m = ReadNumber(octets.data(), octets.size());
        __freshenThreadQueue();
        __checkKillThreadFlag();
        // Encrypt then decrypt; sign then verify.
        for (const bool encryptFirst : {true, false}) {
            const bool failed = !CHugeDigit::IsEqual(encryptFirst ? byD(byE(m)) : byE(byD(m)), m);
            if (progress) progress->Hint(1);
            if (failed) {
                ++failures;
                if (stopAtFirstFailure) return failures;
            }
        }
    }
    return failures;
}
