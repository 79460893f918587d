/// \file
/// The AES round functions behind CAESAlgorithm: versions on the processor's AES
/// instructions (AES-NI, and VAES for CBC decryption) and a portable bitsliced one, both free of table look-ups indexed
/// by secret data and of branches on it. The kernels are chosen once per processor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan::detail {

constexpr int kAesBlock = 16;
constexpr int kAesMaxRounds = 14;

/// The round keys of one AES key in the forms the kernels read.
struct AesSchedule {
    int rounds = 0;
    /// FIPS 197 round keys, octet order, and those of the equivalent inverse cipher
    /// (InvMixColumns applied to the inner ones) for the AES instructions.
    alignas(16) unsigned char encrypt[(kAesMaxRounds + 1) * kAesBlock];
    alignas(16) unsigned char decrypt[(kAesMaxRounds + 1) * kAesBlock];
    /// The portable kernel's bitsliced round keys: eight 64-bit planes per round.
    std::uint64_t sliced[(kAesMaxRounds + 1) * 8];
};

struct AesKernels {
    /// Fills the kernel's form of the schedule from the round keys in `encrypt`.
    void (*prepare)(AesSchedule& schedule);
    /// Whole blocks, each by itself.
    void (*encrypt)(const AesSchedule& schedule, const unsigned char* in, unsigned char* out, std::size_t blocks);
    void (*decrypt)(const AesSchedule& schedule, const unsigned char* in, unsigned char* out, std::size_t blocks);
    /// CBC over whole blocks; `chain` is the previous ciphertext block and is updated;
    /// in and out may be the same buffer.
    void (*cbcEncrypt)(const AesSchedule& schedule, const unsigned char* in, unsigned char* out, std::size_t blocks,
                       unsigned char* chain);
    void (*cbcDecrypt)(const AesSchedule& schedule, const unsigned char* in, unsigned char* out, std::size_t blocks,
                       unsigned char* chain);
};

/// FIPS 197 key expansion of a 16, 24 or 32-octet key into schedule.encrypt and
/// schedule.rounds, with the portable kernel's constant-time S-box.
void AesExpandKey(const unsigned char* key, std::size_t length, AesSchedule& schedule);

const AesKernels& PortableAesKernels();
/// Only to be used when HasAesInstructions() is true.
const AesKernels& AesNiKernels();
/// The AES-NI kernels with CBC decryption on VAES; only when HasVaesInstructions() is true.
const AesKernels& VaesKernels();
/// AES-NI with SSE4.1 on x86; false elsewhere.
bool HasAesInstructions();
/// Those and VAES with AVX-512 (the system saving the 512-bit registers).
bool HasVaesInstructions();
/// The fastest kernels the processor runs: VAES, AES-NI or the portable ones.
const AesKernels& FastestAesKernels();

}  // namespace vorlan::detail
