/// \file
/// SHA-256 message digest (FIPS 180-4).
#pragma once

#include <bit>
#include <cstdint>

#include "vorlan/digest/worddigestmaker.h"

namespace vorlan::detail {

struct Sha256Traits {
    static constexpr int words = 8;
    static constexpr std::endian order = std::endian::big;
    static constexpr std::uint32_t initialState[words] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    /// The fastest compression this processor runs (see sha256compress.h).
    static void Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks);
};

}  // namespace vorlan::detail

/// SHA-256 (FIPS 180-4): 32-octet digests of 64-octet blocks.
class CSHA256DigestMaker : public vorlan::detail::CWordDigestMaker<vorlan::detail::Sha256Traits> {
public:
    CSHA256DigestMaker() = default;
    /// A copy of the running state.
    CSHA256DigestMaker(const CSHA256DigestMaker& other) = default;
    /// Takes the running state of `other`.
    CSHA256DigestMaker& operator=(const CSHA256DigestMaker& other) = default;
};
