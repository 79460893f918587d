#include "algorithms.h"

#include <gtest/gtest.h>

#include <random>

#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"

namespace digesttest {

namespace {

template <typename Maker>
Algorithm Row(const char* name, int blockSize, const EVP_MD* (*openssl)()) {
    return {name,
            Maker::digestSize,
            blockSize,
            openssl,
            [] { return std::make_unique<Maker>(); },
            [](const CDigestMaker& source) { return std::make_unique<Maker>(dynamic_cast<const Maker&>(source)); }};
}

}  // namespace

const std::vector<Algorithm>& AllAlgorithms() {
    static const std::vector<Algorithm> rows = {Row<CMD2DigestMaker>("MD2", 16, nullptr),
                                                Row<CMD5DigestMaker>("MD5", 64, EVP_md5),
                                                Row<CSHA1DigestMaker>("SHA1", 64, EVP_sha1)};
    return rows;
}

const std::vector<Algorithm>& OpenSslAlgorithms() {
    static const std::vector<Algorithm> rows(AllAlgorithms().begin() + 1, AllAlgorithms().end());
    return rows;
}

Octets OpenSslDigest(const EVP_MD* md, const Octets& data) {
    Octets out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), out.data(), &size, md, nullptr), 1);
    out.resize(size);
    return out;
}

Octets Finish(CDigestMaker& maker, const Algorithm& algorithm) {
    maker.UpdateBlock(nullptr, 0, nullptr, 1, 1);
    return CurrentDigest(maker, algorithm);
}

Octets CurrentDigest(const CDigestMaker& maker, const Algorithm& algorithm) {
    Octets out(static_cast<std::size_t>(algorithm.digestSize));
    maker.GetCurrentDigest(out.data());
    return out;
}

Octets Bytes(const std::string& text) { return Octets(text.begin(), text.end()); }

Octets RandomOctets(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    Octets out(n);
    for (auto& octet : out) octet = static_cast<unsigned char>(generator());
    return out;
}

std::string Hex(const Octets& octets) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char octet : octets) {
        text += digits[octet >> 4];
        text += digits[octet & 15];
    }
    return text;
}

}  // namespace digesttest
