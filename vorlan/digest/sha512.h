/// \file
/// SHA-384 and SHA-512 message digests (FIPS 180-4): a state of eight 64-bit words,
/// 128-octet blocks and a 128-bit bit count; SHA-384 starts from other words and gives
/// the first six of them.
#pragma once

#include <cstdint>
#include <span>

#include "vorlan/digest/digestmaker.h"

namespace vorlan::detail {

/// FIPS 180-4, 4.2.3: the first 64 bits of the fractional parts of the cube roots of the
/// first 80 primes.
inline constexpr std::uint64_t kSha512RoundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

using Sha512CompressFunction = void (*)(std::uint64_t (&state)[8], const unsigned char* data, int blocks);

/// The compression function over whole 128-octet blocks: the fastest version this processor runs.
void Sha512Compress(std::uint64_t (&state)[8], const unsigned char* data, int blocks);
void Sha512CompressPortable(std::uint64_t (&state)[8], const unsigned char* data, int blocks);
/// The versions this processor runs, fastest first: on x86-64 with AVX2, BMI1 and BMI2, two blocks at a
/// time with the message schedules in vector registers (the faster one also with AVX-512VL's
/// rotates), and always the portable one last.
std::span<const Sha512CompressFunction> Sha512Compressors();

class CSha512FamilyDigestMaker : public CDigestMaker {
public:
    ~CSha512FamilyDigestMaker() override;

    /// The first digestSize / 8 state words, big-endian.
    void GetCurrentDigest(unsigned char* out) const override;
    void ResetContext() override;

protected:
    CSha512FamilyDigestMaker(const std::uint64_t (&initialState)[8], int digestSize);
    CSha512FamilyDigestMaker(const CSha512FamilyDigestMaker&) = default;
    CSha512FamilyDigestMaker& operator=(const CSha512FamilyDigestMaker&) = default;

    void UpdateDigest(const unsigned char* block) override { Sha512Compress(m_state, block, 1); }
    void UpdateDigests(const unsigned char* data, int blocks) override { Sha512Compress(m_state, data, blocks); }
    void UpdateTotalLength(int len) override;
    /// 0x80, zeros, then the bit count as sixteen big-endian octets.
    void UpdateLastBytes() override;
    unsigned char* Buffer() override { return m_buffer; }

private:
    const std::uint64_t* m_initialState;
    int m_digestSize;
    std::uint64_t m_state[8];
    std::uint64_t m_bitsLow = 0;
    std::uint64_t m_bitsHigh = 0;
    unsigned char m_buffer[128];
};

/// FIPS 180-4, 5.3.5 and 5.3.4.
inline constexpr std::uint64_t kSha512InitialState[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};
inline constexpr std::uint64_t kSha384InitialState[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4,
};

}  // namespace vorlan::detail

/// SHA-384 (FIPS 180-4): 48-octet digests of 128-octet blocks.
class CSHA384DigestMaker : public vorlan::detail::CSha512FamilyDigestMaker {
public:
    static constexpr int digestSize = 48;  ///< octets of a digest
    CSHA384DigestMaker() : CSha512FamilyDigestMaker(vorlan::detail::kSha384InitialState, digestSize) {}
    /// A copy of the running state.
    CSHA384DigestMaker(const CSHA384DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CSHA384DigestMaker& operator=(const CSHA384DigestMaker& other) = default;
};

/// SHA-512 (FIPS 180-4): 64-octet digests of 128-octet blocks.
class CSHA512DigestMaker : public vorlan::detail::CSha512FamilyDigestMaker {
public:
    static constexpr int digestSize = 64;  ///< octets of a digest
    CSHA512DigestMaker() : CSha512FamilyDigestMaker(vorlan::detail::kSha512InitialState, digestSize) {}
    /// A copy of the running state.
    CSHA512DigestMaker(const CSHA512DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CSHA512DigestMaker& operator=(const CSHA512DigestMaker& other) = default;
};
