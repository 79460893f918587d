/// \file
/// SHA-1 message digest (FIPS 180-1).
#pragma once

#include <bit>
#include <cstdint>

#include "vorlan/digest/worddigestmaker.h"

namespace vorlan::detail {

struct Sha1Traits {
    static constexpr int words = 5;
    static constexpr std::endian order = std::endian::big;
    static constexpr std::uint32_t initialState[words] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    /// The fastest compression this processor runs (see sha1compress.h).
    static void Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks);
};

}  // namespace vorlan::detail

/// SHA-1 (FIPS 180-1): 20-octet digests of 64-octet blocks.
class CSHA1DigestMaker : public vorlan::detail::CWordDigestMaker<vorlan::detail::Sha1Traits> {
public:
    CSHA1DigestMaker() = default;
    /// A copy of the running state.
    CSHA1DigestMaker(const CSHA1DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CSHA1DigestMaker& operator=(const CSHA1DigestMaker& other) = default;
};
