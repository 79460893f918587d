/// \file
/// CCryptoProcessor: turns a block transform into a streaming encryptor and decryptor.
/// It walks buffers block by block, chains blocks through four mode hooks (unless
/// constructed unchained), keeps separate chains for encryption and decryption, pads
/// the last block on encryption (PKCS#5 style) and checks and removes the padding on
/// decryption. Failures throw CUnlockException.
#pragma once

#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

/// The chained block walk: each block is pre-processed into t1, transformed into t2
/// and post-processed into out; one progress hint per block.
template <class Pre, class Transform, class Post>
inline void ChainedWalk(const unsigned char* in, unsigned long len, unsigned char* out, unsigned long blockSize,
                        unsigned char* t1, unsigned char* t2, CProgress* progress, Pre&& pre, Transform&& transform,
                        Post&& post) {
    for (unsigned long offset = 0; offset < len; offset += blockSize) {
        pre(in + offset, t1);
        transform(t1, t2);
        post(t2, out + offset);
        if (progress != nullptr) progress->Hint(1);
    }
}

}  // namespace vorlan::detail

/// The one interface through which every consumer encrypts or decrypts: a block transform
/// turned into a streaming encryptor and decryptor, with chaining hooks, separate chains for
/// encryption and decryption, padding on encryption and its check on decryption. Not copyable;
/// the chains are wiped with it. Size and padding failures are CUnlockException*.
class CCryptoProcessor {
public:
    CCryptoProcessor(const CCryptoProcessor&) = delete;
    CCryptoProcessor& operator=(const CCryptoProcessor&) = delete;
    /// The chains are wiped.
    virtual ~CCryptoProcessor() = default;

    /// Largest output of the final operations for len input octets.
    virtual unsigned long EncrFinalOutMaxSize(unsigned long len) const;
    /// Largest output of DecryptFinal for len input octets (len - 1: at least one padding octet).
    virtual unsigned long DecrFinalOutMaxSize(unsigned long len) const;
    /// Encrypts len octets with padding: len - len % blockSize + blockSize octets out.
    virtual unsigned long EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                       CProgress* progress);
    /// Decrypts len octets (a non-zero multiple of the block) and removes the padding;
    /// returns the plaintext length.
    virtual unsigned long DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                       CProgress* progress);
    /// Progress hints sent while processing len octets (final: with the final operation).
    virtual unsigned long CountHints(unsigned long len, int final) const;
    /// CUnlockException* unless len is a non-zero multiple of the block size.
    virtual void CheckCiphertextSize(unsigned long len) const;
    /// Any plaintext length passes here; a cipher with limits overrides it.
    virtual void CheckPlaintextSize(unsigned long len) const;

    /// len must be a multiple of the block size; in and out may be the same buffer.
    /// One progress hint per block when progress is given.
    void EncryptBlock(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress);
    /// The decrypting counterpart of EncryptBlock, without padding.
    void DecryptBlock(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress);

    /// Restart a chain from the initial vector.
    void ResetEncryptionContext();
    /// Restart the decryption chain from the initial vector.
    void ResetDecryptionContext();

    /// The block size in octets.
    unsigned long GetBlockSize() const { return blockSize; }
    /// blockSize; a processor built without a usable block size (0) throws instead.
    unsigned long UsableBlockSize() const;

protected:
    /// iv: the first blockSize octets are the initial vector of both chains; null means
    /// zeros. Unchained processors keep no vector.
    CCryptoProcessor(unsigned long blockSize, int noChaining, const unsigned char* iv);

    ///@{
    /// Mode hooks of the chained walk: pre-process, transform, post-process. The base
    /// hooks pass the block through unchanged, so every block is transformed by itself.
    virtual void EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    virtual void EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    virtual void DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    virtual void DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain);
    ///@}

    ///@{
    /// One block; in and out may be the same block.
    virtual void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const = 0;
    virtual void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const = 0;
    ///@}

    ///@{
    /// The chained walks over whole blocks through the hooks. A mode that knows its
    /// cipher's type replaces them by the same walk with direct calls.
    virtual void EncryptChained(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress);
    virtual void DecryptChained(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress);
    ///@}

    ///@{
    /// The two block-sized temporaries of the chained walk.
    unsigned char* Temp1() { return m_work.data(); }
    unsigned char* Temp2() { return m_work.data() + blockSize; }
    ///@}

    int noChaining;  ///< 1: every block is transformed by itself
    unsigned long blockSize;  ///< octets per block
    vorlan::detail::CWipedVector<unsigned char> iv;  ///< the initial vector of both chains
    vorlan::detail::CWipedVector<unsigned char> encChain;  ///< the encryption chain value
    vorlan::detail::CWipedVector<unsigned char> decChain;  ///< the decryption chain value

private:
    using Transform = void (CCryptoProcessor::*)(const unsigned char* in, unsigned char* out) const;
    void CheckWholeBlocks(const char* operation, unsigned long len) const;
    void UnchainedWalk(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* progress,
                       Transform transform) const;

    /// Three block-sized work areas: the two temporaries of the chained walk and the
    /// last block of the final operations. Wiped with the chains.
    vorlan::detail::CWipedVector<unsigned char> m_work;
    unsigned char* LastBlock() { return m_work.data() + 2 * blockSize; }
};
