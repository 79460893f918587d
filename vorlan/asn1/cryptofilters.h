// Sinks that feed an encoding into a message digest or run it through a symmetric
// cipher on its way to a target, block by block, so that the encoding is never held
// in memory as a whole.
#pragma once

#include <algorithm>
#include <cstring>

#include "vorlan/asn1/bufferedfilter.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/digest/digestmaker.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

// The cipher sinks work on this many cipher blocks at a time.
inline constexpr unsigned long kCipherBlocksPerSinkBlock = 300;

// Feeds every block into a digest; the final call carries the final flag, and the digest
// maker decides by its own flags whether that finishes the digest.
class CDigestFilter : public virtual CBufferedFilterNS {
public:
    explicit CDigestFilter(CDigestMaker& digest);
    ~CDigestFilter() override;
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override;

private:
    CDigestMaker* m_pDigest;
};

// What the two cipher sinks share: the processor, the target, block size B = 300 cipher
// blocks and one output buffer allocated for the whole operation. Plaintext passes through
// both buffers, so they are wiped when the sink dies.
template <class Target>
class CCipherFilter : public virtual CBufferedFilterNS {
public:
    CCipherFilter(const CCipherFilter&) = delete;
    CCipherFilter& operator=(const CCipherFilter&) = delete;
    ~CCipherFilter() override {
        SecureWipe(m_pOutput, static_cast<std::size_t>(m_output.GetSize()));
        if (m_pBlock) SecureWipe(m_pBlock, m_dwBlockSize);
    }

protected:
    // outputSize(B) gives the octets the output buffer needs for blocks of B octets.
    template <class OutputSize>
    CCipherFilter(CCryptoProcessor& processor, Target& target, OutputSize&& outputSize)
        : m_pProcessor(&processor), m_pTarget(&target) {
        SetBlockSize(kCipherBlocksPerSinkBlock * processor.UsableBlockSize());
        m_output.SetSize(static_cast<int>(outputSize(static_cast<unsigned long>(m_dwBlockSize))));
        m_pOutput = m_output.GetData();
    }

    void Emit(const unsigned char* data, unsigned long count) {
        if (count) writeToTarget(*m_pTarget, data, count);
    }

    CCryptoProcessor* m_pProcessor;
    CByteArray m_output;
    unsigned char* m_pOutput = nullptr;

private:
    Target* m_pTarget;
};

// Encrypts the stream: whole blocks with EncryptBlock as they come (the chaining state
// stays in the processor), the rest with EncryptFinal and its padding rule at the final
// call, so the target receives the processor's one-shot encryption of the whole stream.
template <class Target>
class CEncryptFilter : public CCipherFilter<Target> {
public:
    CEncryptFilter(CCryptoProcessor& processor, Target& target)
        : CCipherFilter<Target>(processor, target,
                                [&](unsigned long block) { return processor.EncrFinalOutMaxSize(block); }) {}

    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        this->ResolveBlock(data, length);
        CCryptoProcessor& processor = *this->m_pProcessor;
        unsigned char* out = this->m_pOutput;
        if (length == this->m_dwBlockSize) {
            processor.EncryptBlock(data, length, out, nullptr);
            this->Emit(out, length);
            length = 0;
        }
        if (!final) return;
        processor.CheckPlaintextSize(this->m_dwTotal);
        this->Emit(out, processor.EncryptFinal(data, length, out, nullptr));
    }
};

// Decrypts the stream. The last cipher block seen so far is always held back
// undecrypted (at the end of the output buffer), so that the very last block of the
// stream reaches DecryptFinal, which checks and removes the padding. Blocks are
// decrypted strictly in ciphertext order, so the CBC chain stays intact.
template <class Target>
class CDecryptFilter : public CCipherFilter<Target> {
public:
    CDecryptFilter(CCryptoProcessor& processor, Target& target)
        : CCipherFilter<Target>(
              processor, target,
              [&](unsigned long block) { return std::max(block, processor.DecrFinalOutMaxSize(block)); }),
          m_dwHoldBack(processor.UsableBlockSize()) {}

    int Reset() override {
        m_bPending = 0;
        return CBufferedFilterNS::Reset();
    }

    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        this->ResolveBlock(data, length);
        CCryptoProcessor& processor = *this->m_pProcessor;
        unsigned char* out = this->m_pOutput;
        const unsigned long kept = this->m_dwBlockSize - m_dwHoldBack;
        if (!final) {
            // A non-final call always carries exactly one block of B octets.
            WritePending();
            processor.DecryptBlock(data, kept, out, nullptr);
            std::memcpy(out + kept, data + kept, m_dwHoldBack);
            m_bPending = 1;
            return;
        }
        processor.CheckCiphertextSize(this->m_dwTotal);
        if (m_bPending && length == 0) {
            // The held-back block is the last one.
            this->Emit(out, kept);
            m_bPending = 0;
            this->Emit(out, processor.DecryptFinal(out + kept, m_dwHoldBack, out, nullptr));
            return;
        }
        // Any other remainder goes to DecryptFinal whole; one that is not a non-zero
        // multiple of the cipher block fails there rather than being dropped.
        WritePending();
        this->Emit(out, processor.DecryptFinal(data, length, out, nullptr));
    }

    DWORD m_dwHoldBack;
    int m_bPending = 0;

private:
    // Writes the plaintext of the previous block, then decrypts and writes the held-back
    // cipher block that follows it.
    void WritePending() {
        if (!m_bPending) return;
        const unsigned long kept = this->m_dwBlockSize - m_dwHoldBack;
        unsigned char* out = this->m_pOutput;
        this->Emit(out, kept);
        this->m_pProcessor->DecryptBlock(out + kept, m_dwHoldBack, out, nullptr);
        this->Emit(out, m_dwHoldBack);
        m_bPending = 0;
    }
};

}  // namespace vorlan::detail
