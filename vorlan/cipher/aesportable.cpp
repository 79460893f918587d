// Portable AES, bitsliced: four blocks are spread over eight 64-bit words, word i holding
// bit i of every state octet, so that SubBytes is a Boolean circuit (Boyar and Peralta's
// 113 gates) and the other steps are shifts and masks. Nothing depends on secret data
// but the values computed: no table look-ups, no branches.
#include <cstring>

#include "vorlan/cipher/aeskernels.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

using std::uint32_t;
using std::uint64_t;

using Planes = uint64_t[8];

// The S-box circuit of Boyar and Peralta; x0 is the high bit of the octet.
void SubBytes(Planes& q) {
    const uint64_t x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4], x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

    // Top linear transformation.
    const uint64_t y14 = x3 ^ x5, y13 = x0 ^ x6, y9 = x0 ^ x3, y8 = x0 ^ x5, t0 = x1 ^ x2;
    const uint64_t y1 = t0 ^ x7, y4 = y1 ^ x3, y12 = y13 ^ y14, y2 = y1 ^ x0, y5 = y1 ^ x6;
    const uint64_t y3 = y5 ^ y8, t1 = x4 ^ y12, y15 = t1 ^ x5, y20 = t1 ^ x1, y6 = y15 ^ x7;
    const uint64_t y10 = y15 ^ t0, y11 = y20 ^ y9, y7 = x7 ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8;
    const uint64_t y16 = t0 ^ y11, y21 = y13 ^ y16, y18 = x0 ^ y16;

    // Non-linear section: the inversion in GF(2^4)^2.
    const uint64_t t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x7, t6 = t5 ^ t2;
    const uint64_t t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7, t10 = y2 & y7, t11 = t10 ^ t7;
    const uint64_t t12 = y9 & y11, t13 = y14 & y17, t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12;
    const uint64_t t17 = t4 ^ t14, t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16;
    const uint64_t t21 = t17 ^ y20, t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18;
    const uint64_t t25 = t21 ^ t22, t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27, t29 = t28 ^ t22;
    const uint64_t t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30, t33 = t32 ^ t24, t34 = t23 ^ t33;
    const uint64_t t35 = t27 ^ t33, t36 = t24 & t35, t37 = t36 ^ t34, t38 = t27 ^ t36, t39 = t29 & t38;
    const uint64_t t40 = t25 ^ t39;
    const uint64_t t41 = t40 ^ t37, t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37, t45 = t42 ^ t41;
    const uint64_t z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x7, z3 = t43 & y16, z4 = t40 & y1;
    const uint64_t z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17, z8 = t41 & y10, z9 = t44 & y12;
    const uint64_t z10 = t37 & y3, z11 = t33 & y4, z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2;
    const uint64_t z15 = t42 & y9, z16 = t45 & y14, z17 = t41 & y8;

    // Bottom linear transformation.
    const uint64_t t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10, t50 = z2 ^ z12;
    const uint64_t t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3, t54 = z6 ^ z7, t55 = z16 ^ z17;
    const uint64_t t56 = z12 ^ t48, t57 = t50 ^ t53, t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57;
    const uint64_t t61 = z14 ^ t57, t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
    const uint64_t t66 = z1 ^ t63, t67 = t64 ^ t65;
    const uint64_t s3 = t53 ^ t66;
    q[7] = t59 ^ t63;
    q[6] = t64 ^ ~s3;
    q[5] = t55 ^ ~t67;
    q[4] = s3;
    q[3] = t51 ^ t66;
    q[2] = t47 ^ t65;
    q[1] = t56 ^ ~t62;
    q[0] = t48 ^ ~t60;
}

// The affine map A^-1(x ^ 0x63) that turns the S-box into its inverse when applied
// before and after it.
void InverseAffine(Planes& q) {
    const uint64_t q0 = ~q[0], q1 = ~q[1], q2 = q[2], q3 = q[3], q4 = q[4], q5 = ~q[5], q6 = ~q[6], q7 = q[7];
    q[7] = q1 ^ q4 ^ q6;
    q[6] = q0 ^ q3 ^ q5;
    q[5] = q7 ^ q2 ^ q4;
    q[4] = q6 ^ q1 ^ q3;
    q[3] = q5 ^ q0 ^ q2;
    q[2] = q4 ^ q7 ^ q1;
    q[1] = q3 ^ q6 ^ q0;
    q[0] = q2 ^ q5 ^ q7;
}

void InvSubBytes(Planes& q) {
    InverseAffine(q);
    SubBytes(q);
    InverseAffine(q);
}

// Each 64-bit plane holds the four rows of the state in 16-bit groups (four columns of
// four blocks each); row r turns by r columns. Rows 2 and 3 turn by two columns, then
// rows 1 and 3 by one, in both directions.
inline uint64_t TurnRows23ByTwo(uint64_t x) {
    return (x & 0x00000000FFFFFFFF) | ((x & 0xFF00FF0000000000) >> 8) | ((x & 0x00FF00FF00000000) << 8);
}

void ShiftRows(Planes& q) {
    for (uint64_t& x : q) {
        const uint64_t y = TurnRows23ByTwo(x);
        x = (y & 0x0000FFFF0000FFFF) | ((y & 0xFFF00000FFF00000) >> 4) | ((y & 0x000F0000000F0000) << 12);
    }
}

void InvShiftRows(Planes& q) {
    for (uint64_t& x : q) {
        const uint64_t y = TurnRows23ByTwo(x);
        x = (y & 0x0000FFFF0000FFFF) | ((y & 0x0FFF00000FFF0000) << 4) | ((y & 0xF0000000F0000000) >> 12);
    }
}

// The next row and the row two further down, within each column.
inline uint64_t NextRow(uint64_t x) { return (x >> 16) | (x << 48); }
inline uint64_t RowsBelow2(uint64_t x) { return (x << 32) | (x >> 32); }

void MixColumns(Planes& q) {
    const uint64_t q0 = q[0], q1 = q[1], q2 = q[2], q3 = q[3], q4 = q[4], q5 = q[5], q6 = q[6], q7 = q[7];
    const uint64_t r0 = NextRow(q0), r1 = NextRow(q1), r2 = NextRow(q2), r3 = NextRow(q3), r4 = NextRow(q4),
                   r5 = NextRow(q5), r6 = NextRow(q6), r7 = NextRow(q7);
    q[0] = q7 ^ r7 ^ r0 ^ RowsBelow2(q0 ^ r0);
    q[1] = q0 ^ r0 ^ q7 ^ r7 ^ r1 ^ RowsBelow2(q1 ^ r1);
    q[2] = q1 ^ r1 ^ r2 ^ RowsBelow2(q2 ^ r2);
    q[3] = q2 ^ r2 ^ q7 ^ r7 ^ r3 ^ RowsBelow2(q3 ^ r3);
    q[4] = q3 ^ r3 ^ q7 ^ r7 ^ r4 ^ RowsBelow2(q4 ^ r4);
    q[5] = q4 ^ r4 ^ r5 ^ RowsBelow2(q5 ^ r5);
    q[6] = q5 ^ r5 ^ r6 ^ RowsBelow2(q6 ^ r6);
    q[7] = q6 ^ r6 ^ r7 ^ RowsBelow2(q7 ^ r7);
}

// InvMixColumns is MixColumns after the column map {05 00 04 00}: x ^ 4·(x ^ x two rows down).
void InvMixColumns(Planes& q) {
    uint64_t t[8];
    for (int i = 0; i < 8; ++i) t[i] = q[i] ^ RowsBelow2(q[i]);
    for (int twice = 0; twice < 2; ++twice) {  // multiply by x, reducing by x^8 + x^4 + x^3 + x + 1
        const uint64_t high = t[7];
        for (int i = 7; i > 0; --i) t[i] = t[i - 1];
        t[0] = high;
        t[1] ^= high;
        t[3] ^= high;
        t[4] ^= high;
    }
    for (int i = 0; i < 8; ++i) q[i] ^= t[i];
    MixColumns(q);
}

void AddRoundKey(Planes& q, const uint64_t* key) {
    for (int i = 0; i < 8; ++i) q[i] ^= key[i];
}

// Transposes between octet order and bit planes: swaps bit groups of 1, 2 and 4 between
// the eight words.
void Ortho(Planes& q) {
    const auto swap = [](uint64_t& x, uint64_t& y, uint64_t low, int shift) {
        const uint64_t a = x, b = y;
        x = (a & low) | ((b & low) << shift);
        y = ((a & ~low) >> shift) | (b & ~low);
    };
    for (int i = 0; i < 8; i += 2) swap(q[i], q[i + 1], 0x5555555555555555, 1);
    for (int i : {0, 1, 4, 5}) swap(q[i], q[i + 2], 0x3333333333333333, 2);
    for (int i = 0; i < 4; ++i) swap(q[i], q[i + 4], 0x0F0F0F0F0F0F0F0F, 4);
}

// One block's four little-endian words spread over two words of a plane set.
void InterleaveIn(uint64_t& q0, uint64_t& q1, const uint32_t* w) {
    uint64_t x[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = w[i];
        x[i] = (x[i] | (x[i] << 16)) & 0x0000FFFF0000FFFF;
        x[i] = (x[i] | (x[i] << 8)) & 0x00FF00FF00FF00FF;
    }
    q0 = x[0] | (x[2] << 8);
    q1 = x[1] | (x[3] << 8);
}

void InterleaveOut(uint32_t* w, uint64_t q0, uint64_t q1) {
    uint64_t x[4] = {q0 & 0x00FF00FF00FF00FF, q1 & 0x00FF00FF00FF00FF, (q0 >> 8) & 0x00FF00FF00FF00FF,
                     (q1 >> 8) & 0x00FF00FF00FF00FF};
    for (int i = 0; i < 4; ++i) {
        x[i] = (x[i] | (x[i] >> 8)) & 0x0000FFFF0000FFFF;
        w[i] = static_cast<uint32_t>(x[i]) | static_cast<uint32_t>(x[i] >> 16);
    }
}

// Up to four blocks into bit planes (missing blocks are zeros) and back.
void Load(const unsigned char* in, std::size_t blocks, Planes& q) {
    CWipedArray<uint32_t, 16> w;
    std::memset(w.data, 0, sizeof w.data);
    for (std::size_t i = 0; i < 4 * blocks; ++i) w.data[i] = LoadLittleEndian<uint32_t>(in + 4 * i);
    for (int i = 0; i < 4; ++i) InterleaveIn(q[i], q[i + 4], w.data + 4 * i);
    Ortho(q);
}

void Store(Planes& q, unsigned char* out, std::size_t blocks) {
    CWipedArray<uint32_t, 16> w;
    Ortho(q);
    for (int i = 0; i < 4; ++i) InterleaveOut(w.data + 4 * i, q[i], q[i + 4]);
    for (std::size_t i = 0; i < 4 * blocks; ++i) StoreLittleEndian(w.data[i], out + 4 * i);
}

void EncryptPlanes(const AesSchedule& s, Planes& q) {
    AddRoundKey(q, s.sliced);
    for (int round = 1; round < s.rounds; ++round) {
        SubBytes(q);
        ShiftRows(q);
        MixColumns(q);
        AddRoundKey(q, s.sliced + 8 * round);
    }
    SubBytes(q);
    ShiftRows(q);
    AddRoundKey(q, s.sliced + 8 * s.rounds);
}

void DecryptPlanes(const AesSchedule& s, Planes& q) {
    AddRoundKey(q, s.sliced + 8 * s.rounds);
    for (int round = s.rounds - 1; round > 0; --round) {
        InvShiftRows(q);
        InvSubBytes(q);
        AddRoundKey(q, s.sliced + 8 * round);
        InvMixColumns(q);
    }
    InvShiftRows(q);
    InvSubBytes(q);
    AddRoundKey(q, s.sliced);
}

// The same round key in all four block positions of a plane set.
void Prepare(AesSchedule& s) {
    for (int round = 0; round <= s.rounds; ++round) {
        CWipedArray<uint64_t, 8> q;
        uint32_t w[4];
        for (int i = 0; i < 4; ++i) w[i] = LoadLittleEndian<uint32_t>(s.encrypt + kAesBlock * round + 4 * i);
        InterleaveIn(q.data[0], q.data[4], w);
        for (int i = 1; i < 4; ++i) {
            q.data[i] = q.data[0];
            q.data[i + 4] = q.data[4];
        }
        Ortho(q.data);
        std::memcpy(s.sliced + 8 * round, q.data, sizeof q.data);
        SecureWipe(w, sizeof w);
    }
}

template <void (*Rounds)(const AesSchedule&, Planes&)>
void EachBlock(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks) {
    CWipedArray<uint64_t, 8> q;
    for (std::size_t done = 0; done < blocks; done += 4) {
        const std::size_t n = blocks - done < 4 ? blocks - done : 4;
        Load(in + kAesBlock * done, n, q.data);
        Rounds(s, q.data);
        Store(q.data, out + kAesBlock * done, n);
    }
}

// Encryption is serial: one block at a time in the first position, the other three idle,
// the chain kept as words between blocks.
void CbcEncrypt(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks,
                unsigned char* chain) {
    CWipedArray<uint64_t, 8> q;
    CWipedArray<uint32_t, 4> w;
    for (int i = 0; i < 4; ++i) w.data[i] = LoadLittleEndian<uint32_t>(chain + 4 * i);
    for (std::size_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 4; ++i) w.data[i] ^= LoadLittleEndian<uint32_t>(in + kAesBlock * b + 4 * i);
        std::memset(q.data, 0, sizeof q.data);
        InterleaveIn(q.data[0], q.data[4], w.data);
        Ortho(q.data);
        EncryptPlanes(s, q.data);
        Ortho(q.data);
        InterleaveOut(w.data, q.data[0], q.data[4]);
        for (int i = 0; i < 4; ++i) StoreLittleEndian(w.data[i], out + kAesBlock * b + 4 * i);
    }
    for (int i = 0; i < 4; ++i) StoreLittleEndian(w.data[i], chain + 4 * i);
}

// Four blocks at a time; the ciphertext is kept before the output may overwrite it.
void CbcDecrypt(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks,
                unsigned char* chain) {
    CWipedOctets<5 * kAesBlock> cipher;  // the chain, then the ciphertext blocks
    CWipedOctets<4 * kAesBlock> plain;
    for (std::size_t done = 0; done < blocks; done += 4) {
        const std::size_t n = blocks - done < 4 ? blocks - done : 4;
        std::memcpy(cipher.data, chain, kAesBlock);
        std::memcpy(cipher.data + kAesBlock, in + kAesBlock * done, kAesBlock * n);
        EachBlock<DecryptPlanes>(s, cipher.data + kAesBlock, plain.data, n);
        for (std::size_t i = 0; i < kAesBlock * n; ++i) out[kAesBlock * done + i] = plain.data[i] ^ cipher.data[i];
        std::memcpy(chain, cipher.data + kAesBlock * n, kAesBlock);
    }
}

constexpr AesKernels kPortable = {Prepare, EachBlock<EncryptPlanes>, EachBlock<DecryptPlanes>, CbcEncrypt, CbcDecrypt};

// SubWord of the key expansion through the same circuit.
uint32_t SubWord(uint32_t word) {
    CWipedArray<uint64_t, 8> q;
    std::memset(q.data, 0, sizeof q.data);
    q.data[0] = word;
    Ortho(q.data);
    SubBytes(q.data);
    Ortho(q.data);
    return static_cast<uint32_t>(q.data[0]);
}

}  // namespace

void AesExpandKey(const unsigned char* key, std::size_t length, AesSchedule& schedule) {
    constexpr uint32_t kRcon[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};
    const int nk = static_cast<int>(length / 4);
    schedule.rounds = nk + 6;
    const int words = 4 * (schedule.rounds + 1);
    CWipedArray<uint32_t, 4 * (kAesMaxRounds + 1)> w;
    for (int i = 0; i < nk; ++i) w.data[i] = LoadLittleEndian<uint32_t>(key + 4 * i);
    for (int i = nk; i < words; ++i) {
        uint32_t t = w.data[i - 1];
        if (i % nk == 0)
            t = SubWord((t >> 8) | (t << 24)) ^ kRcon[i / nk - 1];  // RotWord on little-endian words
        else if (nk > 6 && i % nk == 4)
            t = SubWord(t);
        w.data[i] = w.data[i - nk] ^ t;
    }
    for (int i = 0; i < words; ++i) StoreLittleEndian(w.data[i], schedule.encrypt + 4 * i);
}

const AesKernels& PortableAesKernels() { return kPortable; }

}  // namespace vorlan::detail
