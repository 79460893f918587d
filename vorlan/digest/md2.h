/// \file
/// MD2 message digest (RFC 1319).
#pragma once

#include "vorlan/digest/digestmaker.h"

/// MD2 (RFC 1319): 16-octet digests of 16-octet blocks.
class CMD2DigestMaker : public CDigestMaker {
public:
    static constexpr int digestSize = 16;  ///< octets of a digest

    CMD2DigestMaker();
    /// A copy of the running state.
    CMD2DigestMaker(const CMD2DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CMD2DigestMaker& operator=(const CMD2DigestMaker& other) = default;
    ~CMD2DigestMaker() override;

    /// The 16 state octets.
    void GetCurrentDigest(unsigned char* out) const override;
    void ResetContext() override;

protected:
    void UpdateDigest(const unsigned char* block) override;
    /// MD2 has no length count.
    void UpdateTotalLength(int) override {}
    void UpdateLastBytes() override;
    unsigned char* Buffer() override { return buffer; }

private:
    unsigned char state[16];
    unsigned char checksum[16];
    unsigned char buffer[16];
};
