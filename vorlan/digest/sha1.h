// SHA-1 message digest (FIPS 180-1).
#pragma once

#include <cstdint>

#include "vorlan/digest/digestmaker.h"

class CSHA1DigestMaker : public CDigestMaker {
public:
    static constexpr int digestSize = 20;

    CSHA1DigestMaker();
    CSHA1DigestMaker(const CSHA1DigestMaker& other) = default;
    CSHA1DigestMaker& operator=(const CSHA1DigestMaker& other) = default;
    ~CSHA1DigestMaker() override;

    // The five state words, big-endian.
    void GetCurrentDigest(unsigned char* out) const override;
    void ResetContext() override;

protected:
    void UpdateDigest(const unsigned char* block) override;
    void UpdateDigests(const unsigned char* data, int blocks) override;
    void UpdateTotalLength(int len) override;
    void UpdateLastBytes() override;
    unsigned char* Buffer() override { return buffer; }

private:
    std::uint32_t state[5];
    detail::CBitCount length;
    unsigned char buffer[64];
};
