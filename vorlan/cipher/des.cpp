#include "vorlan/cipher/des.h"

#include <bit>

#include "vorlan/support/unlockexception.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace {

using vorlan::detail::LoadBigEndian;
using vorlan::detail::StoreBigEndian;
using std::uint32_t;
using SBox = std::array<std::uint8_t, 64>;

// FIPS 46 S-boxes, four rows of 16 each.
constexpr std::array<SBox, 8> kSBoxes = {{
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8,
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0,
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15,
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1,
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6,
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2,
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
}};

// FIPS 46 permutations, bit numbers counted from 1 at the most significant bit.
constexpr std::array<std::uint8_t, 32> kP = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                             2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr std::array<std::uint8_t, 56> kPC1 = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                               10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                               63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                               14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::array<std::uint8_t, 48> kPC2 = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
                                               23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
                                               41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
                                               44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::array<std::uint8_t, 16> kKeyShifts = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr bool SBoxRowsArePermutations() {
    for (const SBox& box : kSBoxes)
        for (int row = 0; row < 4; ++row) {
            unsigned seen = 0;
            for (int col = 0; col < 16; ++col) seen |= 1u << box[static_cast<std::size_t>(row * 16 + col)];
            if (seen != 0xFFFF) return false;
        }
    return true;
}
static_assert(SBoxRowsArePermutations());

// Combined tables: entry v of table i is the P permutation of S-box i's output for
// the 6-bit group v (row from the outer bits, column from the inner four), rotated
// left by one bit because the rounds keep both halves rotated that way.
constexpr std::array<std::array<uint32_t, 64>, 8> MakeSPTables() {
    std::array<std::array<uint32_t, 64>, 8> tables{};
    for (std::size_t box = 0; box < 8; ++box)
        for (std::size_t v = 0; v < 64; ++v) {
            const std::size_t row = ((v >> 4) & 2) | (v & 1);
            const std::size_t col = (v >> 1) & 15;
            const uint32_t s = uint32_t{kSBoxes[box][row * 16 + col]} << (28 - 4 * box);
            uint32_t permuted = 0;
            for (std::size_t bit = 0; bit < 32; ++bit)
                if (s & (0x80000000u >> (kP[bit] - 1))) permuted |= 0x80000000u >> bit;
            tables[box][v] = std::rotl(permuted, 1);
        }
    return tables;
}
constexpr auto kSP = MakeSPTables();
static_assert(kSP[0][0] == 0x01010400 && kSP[0][1] == 0 && kSP[0][2] == 0x00010000 && kSP[0][3] == 0x01010404);

// Exchanges the bits of a selected by mask (shifted right by shift) with those of b.
inline void SwapBits(uint32_t& a, uint32_t& b, int shift, uint32_t mask) {
    const uint32_t t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

// Initial permutation as five bit-group exchanges; leaves both halves rotated
// left by one bit, the layout of the combined tables.
inline void InitialPermutation(uint32_t& left, uint32_t& right) {
    SwapBits(left, right, 4, 0x0F0F0F0F);
    SwapBits(left, right, 16, 0x0000FFFF);
    SwapBits(right, left, 2, 0x33333333);
    SwapBits(right, left, 8, 0x00FF00FF);
    right = std::rotl(right, 1);
    const uint32_t t = (left ^ right) & 0xAAAAAAAA;
    left ^= t;
    right ^= t;
    left = std::rotl(left, 1);
}

inline void FinalPermutation(uint32_t& left, uint32_t& right) {
    right = std::rotr(right, 1);
    const uint32_t t = (left ^ right) & 0xAAAAAAAA;
    left ^= t;
    right ^= t;
    left = std::rotr(left, 1);
    SwapBits(left, right, 8, 0x00FF00FF);
    SwapBits(left, right, 2, 0x33333333);
    SwapBits(right, left, 16, 0x0000FFFF);
    SwapBits(right, left, 4, 0x0F0F0F0F);
}

inline uint32_t RoundFunction(uint32_t right, const uint32_t* key) {
    uint32_t work = std::rotr(right, 4) ^ key[0];
    uint32_t f = kSP[6][work & 0x3F] | kSP[4][(work >> 8) & 0x3F] | kSP[2][(work >> 16) & 0x3F] |
                 kSP[0][(work >> 24) & 0x3F];
    work = right ^ key[1];
    f |= kSP[7][work & 0x3F] | kSP[5][(work >> 8) & 0x3F] | kSP[3][(work >> 16) & 0x3F] |
         kSP[1][(work >> 24) & 0x3F];
    return f;
}

inline void SixteenRounds(uint32_t& left, uint32_t& right, const uint32_t* keys) {
    for (int round = 0; round < 16; round += 2) {
        left ^= RoundFunction(right, keys + 2 * round);
        right ^= RoundFunction(left, keys + 2 * round + 2);
    }
}

}  // namespace

namespace vorlan::detail {

void DesKeySchedule(const unsigned char* key, DesRoundKeys& encrypt, DesRoundKeys& decrypt) {
    // C and D halves of PC-1, 28 bits each, kept in the low bits.
    uint32_t c = 0, d = 0;
    for (std::size_t i = 0; i < 56; ++i) {
        const unsigned bitIndex = kPC1[i] - 1u;
        const uint32_t bit = (key[bitIndex / 8] >> (7 - bitIndex % 8)) & 1u;
        if (i < 28)
            c |= bit << (27 - i);
        else
            d |= bit << (55 - i);
    }
    for (std::size_t round = 0; round < 16; ++round) {
        for (int s = 0; s < kKeyShifts[round]; ++s) {
            c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
            d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
        }
        const std::uint64_t cd = (std::uint64_t{c} << 28) | d;
        // Eight 6-bit groups of the 48-bit round key, group 1 first.
        uint32_t groups[8] = {};
        for (std::size_t i = 0; i < 48; ++i) {
            const uint32_t bit = static_cast<uint32_t>((cd >> (56 - kPC2[i])) & 1u);
            groups[i / 6] |= bit << (5 - i % 6);
        }
        encrypt[2 * round] = groups[0] << 24 | groups[2] << 16 | groups[4] << 8 | groups[6];
        encrypt[2 * round + 1] = groups[1] << 24 | groups[3] << 16 | groups[5] << 8 | groups[7];
        SecureWipe(groups, sizeof groups);
    }
    for (std::size_t round = 0; round < 16; ++round) {
        decrypt[2 * round] = encrypt[2 * (15 - round)];
        decrypt[2 * round + 1] = encrypt[2 * (15 - round) + 1];
    }
    c = d = 0;
}

void DesCrypt(const unsigned char* in, unsigned char* out, const DesRoundKeys* const* schedules, int count) {
    uint32_t left = LoadBigEndian<uint32_t>(in), right = LoadBigEndian<uint32_t>(in + 4);
    InitialPermutation(left, right);
    for (int i = 0; i < count; ++i) {
        // Between schedules the halves swap: the final permutation of one DES and the
        // initial permutation of the next cancel.
        if (i != 0) std::swap(left, right);
        SixteenRounds(left, right, schedules[i]->data());
    }
    FinalPermutation(left, right);
    StoreBigEndian(right, out);
    StoreBigEndian(left, out + 4);
}

}  // namespace vorlan::detail

CDESAlgorithm::CDESAlgorithm(const CDESkey& key, int noChaining, const unsigned char* iv)
    : CCryptoProcessor(8, noChaining, iv) {
    if (key.Size() != 8) AfxThrowUnlockException("CDESAlgorithm - the key must have 8 octets!");
    GenerateKeySchedule(key.Data());
}

CDESAlgorithm::~CDESAlgorithm() {
    SecureWipe(m_encryptKeys.data(), sizeof m_encryptKeys);
    SecureWipe(m_decryptKeys.data(), sizeof m_decryptKeys);
}

void CDESAlgorithm::GenerateKeySchedule(const unsigned char* key) {
    vorlan::detail::DesKeySchedule(key, m_encryptKeys, m_decryptKeys);
}

void CDESAlgorithm::EncipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    const vorlan::detail::DesRoundKeys* schedule = &m_encryptKeys;
    vorlan::detail::DesCrypt(in, out, &schedule, 1);
}

void CDESAlgorithm::DecipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    const vorlan::detail::DesRoundKeys* schedule = &m_decryptKeys;
    vorlan::detail::DesCrypt(in, out, &schedule, 1);
}
