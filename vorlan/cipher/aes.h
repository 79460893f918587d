/// \file
/// AES (FIPS 197) with 128, 192 and 256-bit keys: 16-octet blocks, the processor's AES
/// instructions where it has them, a portable constant-time version elsewhere.
#pragma once

#include "vorlan/cipher/aeskernels.h"
#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"

/// AES (FIPS 197) with 128, 192 and 256-bit keys on 16-octet blocks; a wrong key length is
/// CUnlockException*. The round keys are wiped with the object.
class CAESAlgorithm : public CCryptoProcessor {
public:
    using KeyType = CAESkey;  ///< the key class

    /// The key must hold 16, 24 or 32 octets.
    CAESAlgorithm(const CAESkey& key, int noChaining, const unsigned char* iv);
    ~CAESAlgorithm() override;

    /// CBC over whole blocks with `chain` as the previous ciphertext block, several blocks
    /// per call where the kernel can; in and out may be the same buffer.
    void EncryptCBC(const unsigned char* in, unsigned long len, unsigned char* out, unsigned char* chain) const;
    /// The decrypting counterpart of EncryptCBC: `chain` is the ciphertext block before `in`.
    void DecryptCBC(const unsigned char* in, unsigned long len, unsigned char* out, unsigned char* chain) const;

protected:
    /// With the given kernels instead of the fastest ones this processor runs.
    CAESAlgorithm(const CAESkey& key, int noChaining, const unsigned char* iv,
                  const vorlan::detail::AesKernels& kernels);

    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    const vorlan::detail::AesKernels& m_kernels;
    vorlan::detail::AesSchedule m_schedule;
};

namespace vorlan::detail {

/// AES on the given kernels whatever the processor, for comparing the versions.
template <const AesKernels& (*Kernels)()>
class CAESAlgorithmOn : public CAESAlgorithm {
public:
    CAESAlgorithmOn(const CAESkey& key, int noChaining, const unsigned char* iv)
        : CAESAlgorithm(key, noChaining, iv, Kernels()) {}
};

using CPortableAESAlgorithm = CAESAlgorithmOn<PortableAesKernels>;

}  // namespace vorlan::detail
