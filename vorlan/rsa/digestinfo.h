// Digest algorithms of RSA signatures and the fixed DER prefixes of their PKCS#1
// DigestInfo (AlgorithmIdentifier with NULL parameters, then the OCTET STRING header).
#pragma once

#include <span>

#include "vorlan/framework/types.h"

enum EDigestAlgorithm { md2 = 1, md5 = 2, sha1 = 3 };

namespace detail {

struct SDigestInfo {
    EDigestAlgorithm algorithm;
    const char* name;  // as the reason texts spell it
    std::span<const BYTE> header;
    int digestSize;

    int BlockSize() const { return static_cast<int>(header.size()) + digestSize; }
};

inline constexpr BYTE kMD2Header[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                      0x86, 0xf7, 0x0d, 0x02, 0x02, 0x05, 0x00, 0x04, 0x10};
inline constexpr BYTE kMD5Header[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                      0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
inline constexpr BYTE kSHA1Header[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                       0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

inline constexpr SDigestInfo kDigestInfos[] = {
    {md2, "md2", kMD2Header, 16},
    {md5, "md5", kMD5Header, 16},
    {sha1, "sha-1", kSHA1Header, 20},
};

// The row of an algorithm; CNotSupportedException for any other value.
const SDigestInfo& FindDigestInfo(EDigestAlgorithm algorithm);

}  // namespace detail
