// The three digest makers as table rows, with OpenSSL as the independent oracle
// where it has the algorithm (it has no MD2).
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vorlan/digest/digestmaker.h"

namespace digesttest {

using Octets = std::vector<unsigned char>;

struct Algorithm {
    std::string name;
    int digestSize;
    int blockSize;
    const EVP_MD* (*openssl)();  // null for MD2
    std::function<std::unique_ptr<CDigestMaker>()> make;
    std::function<std::unique_ptr<CDigestMaker>(const CDigestMaker&)> copy;
};

const std::vector<Algorithm>& AllAlgorithms();
const std::vector<Algorithm>& OpenSslAlgorithms();  // MD5 and SHA-1

Octets OpenSslDigest(const EVP_MD* md, const Octets& data);
Octets Finish(CDigestMaker& maker, const Algorithm& algorithm);  // final call with no data, then the digest
Octets CurrentDigest(const CDigestMaker& maker, const Algorithm& algorithm);
Octets Bytes(const std::string& text);
Octets RandomOctets(std::size_t n, unsigned seed);
std::string Hex(const Octets& octets);

inline std::string NameOf(const testing::TestParamInfo<Algorithm>& info) { return info.param.name; }

}  // namespace digesttest
