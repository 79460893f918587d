// MD5 message digest (RFC 1321).
#pragma once

#include <cstdint>

#include "vorlan/digest/digestmaker.h"
#include "vorlan/framework/string.h"

class CMD5DigestMaker : public CDigestMaker {
public:
    static constexpr int digestSize = 16;

    CMD5DigestMaker();
    CMD5DigestMaker(const CMD5DigestMaker& other) = default;
    CMD5DigestMaker& operator=(const CMD5DigestMaker& other) = default;
    ~CMD5DigestMaker() override;

    // The four state words, little-endian.
    void GetCurrentDigest(unsigned char* out) const override;
    void ResetContext() override;

protected:
    void UpdateDigest(const unsigned char* block) override;
    void UpdateDigests(const unsigned char* data, int blocks) override;
    void UpdateTotalLength(int len) override;
    void UpdateLastBytes() override;
    unsigned char* Buffer() override { return buffer; }

private:
    std::uint32_t state[4];
    detail::CBitCount length;
    unsigned char buffer[64];
};

// The MD5 digest of len octets into 16 octets at out.
void AfxMakeMD5DigestOnData(unsigned char* data, int len, unsigned char* out);
// The first `count` octets (at most 16) of the MD5 digest of the zero-terminated
// name, as upper-case hexadecimal text.
CString Name2UniqueID(const char* name, int count);
