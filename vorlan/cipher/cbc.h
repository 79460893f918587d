// Cipher-block chaining: CCBC_ModeProcessor supplies the four hooks of the chained
// walk, and CCBC<Cipher> combines a cipher (constructed chained) with them.
#pragma once

#include <concepts>
#include <vector>

#include "vorlan/cipher/cryptoprocessor.h"

class CCBC_ModeProcessor {
public:
    explicit CCBC_ModeProcessor(unsigned long blockSize);
    CCBC_ModeProcessor(const CCBC_ModeProcessor&) = delete;
    CCBC_ModeProcessor& operator=(const CCBC_ModeProcessor&) = delete;
    virtual ~CCBC_ModeProcessor();

    // out = in XOR chain.
    virtual void EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    // in is the enciphered block: chain = in; out = in.
    virtual void EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    // in is the ciphertext block: out = in; saved = in.
    virtual void DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    // in is the deciphered block: out = in XOR chain; chain = saved.
    virtual void DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);

protected:
    unsigned long blockSize;
    // The ciphertext block being decrypted: it becomes the next chain value, also
    // when the block is decrypted in place.
    std::vector<unsigned char> saved;
};

// A cipher of this library in CBC mode. The constructors take the cipher's own
// arguments without the mode flag, e.g. CCBC<CDESAlgorithm>(key, iv) or
// CCBC<CRC5PadAlgorithm>(key, rounds, blockSize, iv).
template <class Cipher>
class CCBC : public Cipher, public CCBC_ModeProcessor {
public:
    using Key = typename Cipher::KeyType;

    CCBC(const Key& key, const unsigned char* iv)
        requires std::constructible_from<Cipher, const Key&, int, const unsigned char*>
        : Cipher(key, 0, iv), CCBC_ModeProcessor(Cipher::GetBlockSize()) {}

    CCBC(const Key& key, unsigned long rounds, unsigned long blockSize, const unsigned char* iv)
        requires std::constructible_from<Cipher, const Key&, unsigned long, unsigned long, int,
                                         const unsigned char*>
        : Cipher(key, rounds, blockSize, 0, iv), CCBC_ModeProcessor(Cipher::GetBlockSize()) {}

protected:
    void EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) override {
        CCBC_ModeProcessor::EncryptPreProcess(in, out, chain);
    }
    void EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) override {
        CCBC_ModeProcessor::EncryptPostProcess(in, out, chain);
    }
    void DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) override {
        CCBC_ModeProcessor::DecryptPreProcess(in, out, chain);
    }
    void DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) override {
        CCBC_ModeProcessor::DecryptPostProcess(in, out, chain);
    }
};
