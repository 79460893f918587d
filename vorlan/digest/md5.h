/// \file
/// MD5 message digest (RFC 1321).
#pragma once

#include <bit>
#include <cstdint>

#include "vorlan/digest/worddigestmaker.h"
#include "vorlan/framework/string.h"

namespace vorlan::detail {

struct Md5Traits {
    static constexpr int words = 4;
    static constexpr std::endian order = std::endian::little;
    static constexpr std::uint32_t initialState[words] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    static void Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks);
};

}  // namespace vorlan::detail

/// MD5 (RFC 1321): 16-octet digests of 64-octet blocks.
class CMD5DigestMaker : public vorlan::detail::CWordDigestMaker<vorlan::detail::Md5Traits> {
public:
    CMD5DigestMaker() = default;
    /// A copy of the running state.
    CMD5DigestMaker(const CMD5DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CMD5DigestMaker& operator=(const CMD5DigestMaker& other) = default;
};

/// The MD5 digest of len octets into 16 octets at out.
void AfxMakeMD5DigestOnData(unsigned char* data, int len, unsigned char* out);
/// The first `count` octets (at most 16) of the MD5 digest of the zero-terminated
/// name, as upper-case hexadecimal text.
CString Name2UniqueID(const char* name, int count);
