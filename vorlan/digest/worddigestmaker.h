/// \file
/// The common shape of MD5 and SHA-1: a state of 32-bit words, 64-octet blocks, a 64-bit
/// bit count, and finishing by 0x80, zeros and the count. A traits type gives the word
/// count, the byte order, the initial state and the compression function.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "vorlan/digest/digestmaker.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

template <typename Traits>
class CWordDigestMaker : public CDigestMaker {
public:
    static constexpr int digestSize = 4 * Traits::words;

    ~CWordDigestMaker() override {
        SecureWipe(state, sizeof state);
        SecureWipe(&length, sizeof length);
        SecureWipe(buffer, sizeof buffer);
    }

    /// The state words in the algorithm's byte order.
    void GetCurrentDigest(unsigned char* out) const override {
        for (int i = 0; i < Traits::words; ++i) vorlan::detail::StoreWord<Traits::order>(state[i], out + 4 * i);
    }

    void ResetContext() override {
        std::copy(std::begin(Traits::initialState), std::end(Traits::initialState), state);
        length = {};
        count = 0;
    }

protected:
    CWordDigestMaker() : CDigestMaker(64) { CWordDigestMaker::ResetContext(); }
    CWordDigestMaker(const CWordDigestMaker&) = default;
    CWordDigestMaker& operator=(const CWordDigestMaker&) = default;

    void UpdateDigest(const unsigned char* block) override { Traits::Compress(state, block, 1); }
    void UpdateDigests(const unsigned char* data, int blocks) override { Traits::Compress(state, data, blocks); }
    void UpdateTotalLength(int len) override { length.Add(len); }

    /// The bit count as eight octets: low word first for little-endian digests, high first otherwise.
    void UpdateLastBytes() override {
        unsigned char bits[8];
        constexpr bool bigEndian = Traits::order == std::endian::big;
        vorlan::detail::StoreWord<Traits::order>(bigEndian ? length.high : length.low, bits);
        vorlan::detail::StoreWord<Traits::order>(bigEndian ? length.low : length.high, bits + 4);
        PadWithLength(bits);
    }

    unsigned char* Buffer() override { return buffer; }

private:
    std::uint32_t state[Traits::words];
    CBitCount length;
    unsigned char buffer[64];
};

}  // namespace vorlan::detail
