/// \file
/// Cipher-block chaining: CCBC_ModeProcessor supplies the four hooks of the chained
/// walk, and CCBC<Cipher> combines a cipher (constructed chained) with them.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstring>

#include "vorlan/cipher/cryptoprocessor.h"

namespace vorlan::detail {

/// out = a XOR b over n octets; 8-octet blocks (the common case) in one word.
inline void XorBlock(const unsigned char* a, const unsigned char* b, unsigned char* out, unsigned long n) {
    if (n == 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        x ^= y;
        std::memcpy(out, &x, 8);
        return;
    }
    for (unsigned long i = 0; i < n; ++i) out[i] = a[i] ^ b[i];
}

/// memmove of n octets with the 8-octet case inlined.
inline void MoveBlock(const unsigned char* from, unsigned char* to, unsigned long n) {
    if (n == 8) {
        std::uint64_t x;
        std::memcpy(&x, from, 8);
        std::memcpy(to, &x, 8);
        return;
    }
    std::memmove(to, from, n);
}

}  // namespace vorlan::detail

/// The four hooks of cipher-block chaining, mixed into a cipher by CCBC.
class CCBC_ModeProcessor {
public:
    /// Hooks for blocks of blockSize octets.
    explicit CCBC_ModeProcessor(unsigned long blockSize);
    CCBC_ModeProcessor(const CCBC_ModeProcessor&) = delete;
    CCBC_ModeProcessor& operator=(const CCBC_ModeProcessor&) = delete;
    virtual ~CCBC_ModeProcessor() = default;

    /// out = in XOR chain.
    virtual void EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
        vorlan::detail::XorBlock(in, chain, out, blockSize);
    }
    /// in is the enciphered block: chain = in; out = in.
    virtual void EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
        vorlan::detail::MoveBlock(in, chain, blockSize);
        vorlan::detail::MoveBlock(in, out, blockSize);
    }
    /// in is the ciphertext block: out = in; saved = in.
    virtual void DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
        vorlan::detail::MoveBlock(in, saved.data(), blockSize);
        vorlan::detail::MoveBlock(in, out, blockSize);
    }
    /// in is the deciphered block: out = in XOR chain; chain = saved.
    virtual void DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
        vorlan::detail::XorBlock(in, chain, out, blockSize);
        vorlan::detail::MoveBlock(saved.data(), chain, blockSize);
    }

protected:
    unsigned long blockSize;  ///< octets per block
    /// The ciphertext block being decrypted: it becomes the next chain value, also
    /// when the block is decrypted in place.
    vorlan::detail::CWipedVector<unsigned char> saved;
};

/// A cipher of this library in CBC mode. The constructors take the cipher's own
/// arguments without the mode flag, e.g. CCBC<CDESAlgorithm>(key, iv) or
/// CCBC<CRC5PadAlgorithm>(key, rounds, blockSize, iv).
template <class Cipher>
class CCBC : public Cipher, public CCBC_ModeProcessor {
public:
    /// The cipher's key class.
    using Key = typename Cipher::KeyType;

    /// The cipher with `key` in CBC mode from `iv` (null: zeros).
    CCBC(const Key& key, const unsigned char* iv)
        requires std::constructible_from<Cipher, const Key&, int, const unsigned char*>
        : Cipher(key, 0, iv), CCBC_ModeProcessor(Cipher::GetBlockSize()) {}

    /// The same for a cipher with rounds and a block size (RC5).
    CCBC(const Key& key, unsigned long rounds, unsigned long blockSize, const unsigned char* iv)
        requires std::constructible_from<Cipher, const Key&, unsigned long, unsigned long, int,
                                         const unsigned char*>
        : Cipher(key, rounds, blockSize, 0, iv), CCBC_ModeProcessor(Cipher::GetBlockSize()) {}

protected:
    /// The hooks are final so that the direct walks below stay equal to the general one.
    void EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) final {
        CCBC_ModeProcessor::EncryptPreProcess(in, out, chain);
    }
    void EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) final {
        CCBC_ModeProcessor::EncryptPostProcess(in, out, chain);
    }
    void DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) final {
        CCBC_ModeProcessor::DecryptPreProcess(in, out, chain);
    }
    void DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) final {
        CCBC_ModeProcessor::DecryptPostProcess(in, out, chain);
    }
    ///@{
    /// The cipher's own block transform.
    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const final {
        Cipher::EncipherAlgorithm(in, out);
    }
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const final {
    ///@}
        Cipher::DecipherAlgorithm(in, out);
    }

    /// The chained walks without virtual calls per block; a cipher with CBC walks of its
    /// own (several blocks at once) runs them and the hints follow.
    void EncryptChained(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress) final {
        unsigned char* chain = this->encChain.data();
        if constexpr (requires(const Cipher& c) { c.EncryptCBC(in, len, out, chain); }) {
            Cipher::EncryptCBC(in, len, out, chain);
            HintBlocks(len, progress);
        } else {
            vorlan::detail::ChainedWalk(
                in, len, out, Cipher::blockSize, this->Temp1(), this->Temp2(), progress,
                [&](const unsigned char* from, unsigned char* to) {
                    CCBC_ModeProcessor::EncryptPreProcess(from, to, chain);
                },
                [&](const unsigned char* from, unsigned char* to) { Cipher::EncipherAlgorithm(from, to); },
                [&](const unsigned char* from, unsigned char* to) {
                    CCBC_ModeProcessor::EncryptPostProcess(from, to, chain);
                });
        }
    }
    /// The decrypting counterpart.
    void DecryptChained(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress) final {
        unsigned char* chain = this->decChain.data();
        if constexpr (requires(const Cipher& c) { c.DecryptCBC(in, len, out, chain); }) {
            Cipher::DecryptCBC(in, len, out, chain);
            HintBlocks(len, progress);
        } else {
            vorlan::detail::ChainedWalk(
                in, len, out, Cipher::blockSize, this->Temp1(), this->Temp2(), progress,
                [&](const unsigned char* from, unsigned char* to) {
                    CCBC_ModeProcessor::DecryptPreProcess(from, to, chain);
                },
                [&](const unsigned char* from, unsigned char* to) { Cipher::DecipherAlgorithm(from, to); },
                [&](const unsigned char* from, unsigned char* to) {
                    CCBC_ModeProcessor::DecryptPostProcess(from, to, chain);
                });
        }
    }

private:
    void HintBlocks(unsigned long len, CProgress* progress) const {
        if (progress == nullptr) return;
        for (unsigned long offset = 0; offset < len; offset += Cipher::blockSize) progress->Hint(1);
    }
};
