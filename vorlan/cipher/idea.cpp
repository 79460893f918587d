#include "vorlan/cipher/idea.h"

#include "vorlan/support/endian.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

namespace {

using vorlan::detail::LoadBigEndian;
using vorlan::detail::StoreBigEndian;
using std::uint16_t;
using std::uint32_t;

// Multiplication modulo 65537, the word 0 standing for 65536.
inline uint16_t Mul(uint16_t a, uint16_t b) {
    if (a == 0) return static_cast<uint16_t>(1 - b);
    if (b == 0) return static_cast<uint16_t>(1 - a);
    const uint32_t product = uint32_t{a} * b;
    const uint16_t low = static_cast<uint16_t>(product), high = static_cast<uint16_t>(product >> 16);
    return static_cast<uint16_t>(low - high + (low < high ? 1 : 0));
}

// Multiplicative inverse modulo 65537 (x^65535, 65537 being prime), same encoding.
uint16_t MulInverse(uint16_t x) {
    const std::uint64_t modulus = 65537;
    std::uint64_t base = x == 0 ? 65536 : x, result = 1;
    for (unsigned exponent = 65535; exponent != 0; exponent >>= 1) {
        if (exponent & 1) result = result * base % modulus;
        base = base * base % modulus;
    }
    return static_cast<uint16_t>(result);  // 65536 becomes 0
}

uint16_t AddInverse(uint16_t x) { return static_cast<uint16_t>(0 - x); }

void ExpandKey(const unsigned char* key, CIDEAAlgorithm::Subkeys& z) {
    // The 128-bit key as two halves, word 0 in the top of `high`.
    std::uint64_t high = 0, low = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t word = key[2 * i] | (std::uint64_t{key[2 * i + 1]} << 8);
        if (i < 4)
            high |= word << (48 - 16 * i);
        else
            low |= word << (48 - 16 * (i - 4));
    }
    for (std::size_t i = 0; i < z.size(); ++i) {
        if (i != 0 && i % 8 == 0) {  // the next eight subkeys: the key rotated left by 25 bits
            const std::uint64_t h = (high << 25) | (low >> 39);
            low = (low << 25) | (high >> 39);
            high = h;
        }
        const std::size_t k = i % 8;
        const std::uint64_t half = k < 4 ? high : low;
        z[i] = static_cast<uint16_t>(half >> (48 - 16 * (k % 4)));
    }
    high = low = 0;
}

// Decryption subkeys: the rounds in reverse with inverted keys; the additive keys of
// the inner rounds change places because of the word swap between rounds.
void InvertKeys(const CIDEAAlgorithm::Subkeys& z, CIDEAAlgorithm::Subkeys& dk) {
    for (std::size_t round = 0; round <= 8; ++round) {
        const std::size_t e = 48 - 6 * round;  // encryption keys undone by this decryption round
        const bool outer = round == 0 || round == 8;
        dk[6 * round] = MulInverse(z[e]);
        dk[6 * round + 1] = AddInverse(z[outer ? e + 1 : e + 2]);
        dk[6 * round + 2] = AddInverse(z[outer ? e + 2 : e + 1]);
        dk[6 * round + 3] = MulInverse(z[e + 3]);
        if (round < 8) {
            dk[6 * round + 4] = z[e - 2];
            dk[6 * round + 5] = z[e - 1];
        }
    }
}


}  // namespace

CIDEAAlgorithm::CIDEAAlgorithm(const CIDEAkey& key, int noChaining, const unsigned char* iv)
    : CCryptoProcessor(8, noChaining, iv) {
    if (key.Size() != 16) AfxThrowUnlockException("CIDEAAlgorithm - the key must have 16 octets!");
    ExpandKey(key.Data(), m_encryptKeys);
    InvertKeys(m_encryptKeys, m_decryptKeys);
}

CIDEAAlgorithm::~CIDEAAlgorithm() {
    SecureWipe(m_encryptKeys.data(), sizeof m_encryptKeys);
    SecureWipe(m_decryptKeys.data(), sizeof m_decryptKeys);
}

void CIDEAAlgorithm::EncipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    TRANSFORMATION(in, out, m_encryptKeys);
}

void CIDEAAlgorithm::DecipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    TRANSFORMATION(in, out, m_decryptKeys);
}

void CIDEAAlgorithm::TRANSFORMATION(const unsigned char* in, unsigned char* out, const Subkeys& keys) {
    uint16_t x1 = LoadBigEndian<uint16_t>(in), x2 = LoadBigEndian<uint16_t>(in + 2),
             x3 = LoadBigEndian<uint16_t>(in + 4), x4 = LoadBigEndian<uint16_t>(in + 6);
    const uint16_t* k = keys.data();
    for (int round = 0; round < 8; ++round, k += 6) {
        x1 = Mul(x1, k[0]);
        x2 = static_cast<uint16_t>(x2 + k[1]);
        x3 = static_cast<uint16_t>(x3 + k[2]);
        x4 = Mul(x4, k[3]);
        const uint16_t t0 = Mul(static_cast<uint16_t>(x1 ^ x3), k[4]);
        const uint16_t t1 = Mul(static_cast<uint16_t>((x2 ^ x4) + t0), k[5]);
        const uint16_t t2 = static_cast<uint16_t>(t0 + t1);
        x1 ^= t1;
        x4 ^= t2;
        const uint16_t swapped = static_cast<uint16_t>(x2 ^ t2);
        x2 = static_cast<uint16_t>(x3 ^ t1);
        x3 = swapped;
    }
    // Output transformation; it undoes the last round's swap of the middle words.
    StoreBigEndian(Mul(x1, k[0]), out);
    StoreBigEndian(static_cast<uint16_t>(x3 + k[1]), out + 2);
    StoreBigEndian(static_cast<uint16_t>(x2 + k[2]), out + 4);
    StoreBigEndian(Mul(x4, k[3]), out + 6);
}
