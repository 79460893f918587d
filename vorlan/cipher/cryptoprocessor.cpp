#include "vorlan/cipher/cryptoprocessor.h"

#include <algorithm>
#include <cstring>

#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

CCryptoProcessor::CCryptoProcessor(unsigned long blockSize, int noChaining, const unsigned char* iv)
    : noChaining(noChaining), blockSize(blockSize), m_work(3 * blockSize) {
    if (noChaining) return;
    this->iv.assign(blockSize, 0);
    if (iv != nullptr) std::copy_n(iv, blockSize, this->iv.begin());
    encChain = this->iv;
    decChain = this->iv;
}

unsigned long CCryptoProcessor::UsableBlockSize() const {
    if (blockSize == 0) AfxThrowUnlockException("CCryptoProcessor - the cipher has no usable block size!");
    return blockSize;
}

unsigned long CCryptoProcessor::EncrFinalOutMaxSize(unsigned long len) const {
    const unsigned long size = UsableBlockSize();
    return len - len % size + size;
}

// Padding adds at least one octet, so decryption gives at most len - 1 octets.
unsigned long CCryptoProcessor::DecrFinalOutMaxSize(unsigned long len) const { return len == 0 ? 0 : len - 1; }

unsigned long CCryptoProcessor::CountHints(unsigned long len, int final) const {
    const unsigned long size = UsableBlockSize();
    return final ? (len + size) / size : len / size;
}

void CCryptoProcessor::CheckCiphertextSize(unsigned long len) const {
    const unsigned long size = UsableBlockSize();
    if (len == 0 || len % size != 0)
        vorlan::detail::ThrowUnlockFormatted(
            "CheckCiphertextSize - in_size = %d, m_block_size = %d, (in_size %% m_block_size) = %d!",
            static_cast<int>(len), static_cast<int>(size), static_cast<int>(len % size));
}

void CCryptoProcessor::CheckPlaintextSize(unsigned long) const {}

void CCryptoProcessor::EncryptBlock(const unsigned char* in, unsigned long len, unsigned char* out,
                                    CProgress* progress) {
    CheckWholeBlocks("EncryptBlock", len);
    if (noChaining)
        UnchainedWalk(in, len, out, progress, &CCryptoProcessor::EncipherAlgorithm);
    else
        EncryptChained(in, len, out, progress);
}

void CCryptoProcessor::DecryptBlock(const unsigned char* in, unsigned long len, unsigned char* out,
                                    CProgress* progress) {
    CheckWholeBlocks("DecryptBlock", len);
    if (noChaining)
        UnchainedWalk(in, len, out, progress, &CCryptoProcessor::DecipherAlgorithm);
    else
        DecryptChained(in, len, out, progress);
}

// A partial block would be read and written past the buffers' ends.
void CCryptoProcessor::CheckWholeBlocks(const char* operation, unsigned long len) const {
    const unsigned long size = UsableBlockSize();
    if (len % size != 0)
        vorlan::detail::ThrowUnlockFormatted("%s - in_size = %d is not multiple of m_block_size = %d!", operation,
                                     static_cast<int>(len), static_cast<int>(size));
}

void CCryptoProcessor::UnchainedWalk(const unsigned char* in, unsigned long len, unsigned char* out,
                                     CProgress* progress, Transform transform) const {
    for (unsigned long offset = 0; offset < len; offset += blockSize) {
        (this->*transform)(in + offset, out + offset);
        if (progress != nullptr) progress->Hint(1);
    }
}

void CCryptoProcessor::EncryptChained(const unsigned char* in, unsigned long len, unsigned char* out,
                                      CProgress* progress) {
    unsigned char* chain = encChain.data();
    vorlan::detail::ChainedWalk(
        in, len, out, blockSize, Temp1(), Temp2(), progress,
        [&](const unsigned char* from, unsigned char* to) { EncryptPreProcess(from, to, chain); },
        [&](const unsigned char* from, unsigned char* to) { EncipherAlgorithm(from, to); },
        [&](const unsigned char* from, unsigned char* to) { EncryptPostProcess(from, to, chain); });
}

void CCryptoProcessor::DecryptChained(const unsigned char* in, unsigned long len, unsigned char* out,
                                      CProgress* progress) {
    unsigned char* chain = decChain.data();
    vorlan::detail::ChainedWalk(
        in, len, out, blockSize, Temp1(), Temp2(), progress,
        [&](const unsigned char* from, unsigned char* to) { DecryptPreProcess(from, to, chain); },
        [&](const unsigned char* from, unsigned char* to) { DecipherAlgorithm(from, to); },
        [&](const unsigned char* from, unsigned char* to) { DecryptPostProcess(from, to, chain); });
}

unsigned long CCryptoProcessor::EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                             CProgress* progress) {
    const unsigned long size = UsableBlockSize();
    const unsigned long rest = len % size;
    const unsigned long whole = len - rest;
    const auto pad = static_cast<unsigned char>(size - rest);
    // The tail is copied before the whole blocks are written, in case out is in.
    if (rest != 0) std::memcpy(LastBlock(), in + whole, rest);
    std::memset(LastBlock() + rest, pad, size - rest);
    EncryptBlock(in, whole, out, progress);
    EncryptBlock(LastBlock(), size, out + whole, progress);
    SecureWipe(LastBlock(), size);
    return whole + size;
}

unsigned long CCryptoProcessor::DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                             CProgress* progress) {
    const unsigned long size = UsableBlockSize();
    if (len == 0) AfxThrowUnlockException("DecryptFinal - in_size = 0!");
    if (len % size != 0)
        vorlan::detail::ThrowUnlockFormatted(
            "DecryptFinal - in_size is not multiple of m_block_size!\nin_size = %d, m_block_size = %d, "
            "(in_size %% m_block_size) = %d!",
            static_cast<int>(len), static_cast<int>(size), static_cast<int>(len % size));
    const unsigned long whole = len - size;
    DecryptBlock(in, whole, out, progress);
    unsigned char* last = LastBlock();
    DecryptBlock(in + whole, size, last, progress);
    const unsigned long pad = last[size - 1];
    if (pad == 0 || pad > size) {
        SecureWipe(last, size);
        vorlan::detail::ThrowUnlockFormatted("DecryptFinal - bad padding: pad_size = %d!", static_cast<int>(pad));
    }
    for (unsigned long i = size - pad; i < size; ++i) {
        if (last[i] != pad) {
            const unsigned int bad = last[i];
            SecureWipe(last, size);
            vorlan::detail::ThrowUnlockFormatted("DecryptFinal - bad padding data (%x) !", bad);
        }
    }
    std::memcpy(out + whole, last, size - pad);
    SecureWipe(last, size);
    return len - pad;
}

void CCryptoProcessor::ResetEncryptionContext() { encChain = iv; }

void CCryptoProcessor::ResetDecryptionContext() { decChain = iv; }

void CCryptoProcessor::EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
    std::memcpy(out, in, blockSize);
}

void CCryptoProcessor::EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
    std::memmove(out, in, blockSize);
}

void CCryptoProcessor::DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
    std::memcpy(out, in, blockSize);
}

void CCryptoProcessor::DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
    std::memmove(out, in, blockSize);
}
