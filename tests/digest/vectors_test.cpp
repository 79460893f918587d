// Known answers from RFC 1319, RFC 1321 and FIPS 180, fed in every way a caller can
// cut them up, and random messages against OpenSSL.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "algorithms.h"

namespace digesttest {
namespace {

struct Vector {
    const char* algorithm;
    std::string message;
    const char* digest;
};

const std::string alphanumeric = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string digits80 = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

const std::vector<Vector> standardVectors = {
    // RFC 1319 appendix A.5
    {"MD2", "", "8350e5a3e24c153df2275c9f80692773"},
    {"MD2", "a", "32ec01ec4a6dac72c0ab96fb34c0b5d1"},
    {"MD2", "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
    {"MD2", "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
    {"MD2", "abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b"},
    {"MD2", alphanumeric, "da33def2a42df13975352846c30338cd"},
    {"MD2", digits80, "d5976f79d83d3a0dc9806c3c66f3efd8"},
    // RFC 1321 appendix A.5
    {"MD5", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"MD5", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"MD5", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"MD5", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"MD5", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"MD5", alphanumeric, "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"MD5", digits80, "57edf4a22be3c955ac49da2e2107b67a"},
    // FIPS 180-1 appendices A and B, and the empty message
    {"SHA1", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"SHA1", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"SHA1", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
};

const Algorithm& Named(const std::string& name) {
    for (const auto& algorithm : AllAlgorithms())
        if (algorithm.name == name) return algorithm;
    throw std::logic_error(name);
}

// Feeds the message cut at `first` and `second` (0 <= first <= second <= size), finishing with the last piece.
Octets DigestInThreePieces(const Algorithm& algorithm, const Octets& message, std::size_t first, std::size_t second) {
    auto maker = algorithm.make();
    maker->UpdateBlock(message.data(), static_cast<int>(first), nullptr, 0, 1);
    maker->UpdateBlock(message.data() + first, static_cast<int>(second - first), nullptr, 0, 1);
    maker->UpdateBlock(message.data() + second, static_cast<int>(message.size() - second), nullptr, 1, 1);
    return CurrentDigest(*maker, algorithm);
}

TEST(StandardVectors, EveryTwoCutSplitGivesTheStandardDigest) {
    for (const auto& vector : standardVectors) {
        const Algorithm& algorithm = Named(vector.algorithm);
        const Octets message = Bytes(vector.message);
        for (std::size_t first = 0; first <= message.size(); ++first)
            for (std::size_t second = first; second <= message.size(); ++second)
                ASSERT_EQ(Hex(DigestInThreePieces(algorithm, message, first, second)), vector.digest)
                    << vector.algorithm << " \"" << vector.message << "\" cut at " << first << "," << second;
    }
}

TEST(StandardVectors, OctetAtATimeGivesTheStandardDigest) {
    for (const auto& vector : standardVectors) {
        const Algorithm& algorithm = Named(vector.algorithm);
        auto maker = algorithm.make();
        for (unsigned char octet : Bytes(vector.message)) maker->UpdateBlock(&octet, 1, nullptr, 0, 1);
        EXPECT_EQ(Hex(Finish(*maker, algorithm)), vector.digest) << vector.algorithm << " \"" << vector.message << "\"";
    }
}

TEST(StandardVectors, MillionTimesLetterAInOneCallAndInChunks) {
    const Octets million(1000000, 'a');
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"SHA1", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},  // FIPS 180-1 appendix C
        {"MD5", "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const auto& [name, digest] : expected) {
        const Algorithm& algorithm = Named(name);
        auto whole = algorithm.make();
        whole->UpdateBlock(million.data(), static_cast<int>(million.size()), nullptr, 1, 1);
        EXPECT_EQ(Hex(CurrentDigest(*whole, algorithm)), digest) << name;
        auto chunked = algorithm.make();
        for (std::size_t done = 0; done < million.size(); done += 997) {
            const auto n = std::min<std::size_t>(997, million.size() - done);
            chunked->UpdateBlock(million.data() + done, static_cast<int>(n), nullptr, 0, 1);
        }
        EXPECT_EQ(Hex(Finish(*chunked, algorithm)), digest) << name << " in chunks";
    }
}

class AgainstOpenSsl : public testing::TestWithParam<Algorithm> {};

// Lengths around every padding boundary (55/56/63/64 octets and their multiples) and larger,
// fed in random pieces.
TEST_P(AgainstOpenSsl, RandomMessagesInRandomPiecesMatchOpenSsl) {
    const Algorithm& algorithm = GetParam();
    std::mt19937 pieces(7);
    for (std::size_t size = 0; size < 700; size += size < 300 ? 1 : 37) {
        const Octets message = RandomOctets(size, static_cast<unsigned>(size));
        auto maker = algorithm.make();
        std::size_t done = 0;
        while (done < size) {
            const std::size_t n = std::min<std::size_t>(pieces() % 200, size - done);
            maker->UpdateBlock(message.data() + done, static_cast<int>(n), nullptr, 0, 1);
            done += n;
        }
        ASSERT_EQ(Hex(Finish(*maker, algorithm)), Hex(OpenSslDigest(algorithm.openssl(), message))) << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Digests, AgainstOpenSsl, testing::ValuesIn(OpenSslAlgorithms()), NameOf);

}  // namespace
}  // namespace digesttest
