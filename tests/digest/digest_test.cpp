// The digest makers against the RFC 1319, RFC 1321 and FIPS 180-1 known answers and
// OpenSSL (which has no MD2), and the block-feeding contract of CDigestMaker: splits,
// progress hints, copies and resets, file digests, the state around a finish, the
// portable SHA-1 compression path, and the MD5 helpers.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <memory>
#include <random>
#include <string>

#include "tests/common/exceptions.h"
#include "tests/common/octets.h"
#include "tests/common/progress_recorder.h"
#include "tests/common/temp_file.h"
#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha1compress.h"
#include "vorlan/framework/file.h"

namespace {

using namespace testcommon;

struct Algorithm {
    std::string name;
    int digestSize;
    int blockSize;
    const EVP_MD* (*openssl)();                                         // null for MD2
    std::unique_ptr<CDigestMaker> (*make)(const CDigestMaker* copyOf);  // new, or a copy of copyOf
};

template <class Maker>
std::unique_ptr<CDigestMaker> Make(const CDigestMaker* copyOf) {
    return copyOf ? std::make_unique<Maker>(dynamic_cast<const Maker&>(*copyOf)) : std::make_unique<Maker>();
}

const Algorithm kAlgorithms[] = {{"MD2", 16, 16, nullptr, Make<CMD2DigestMaker>},
                                 {"MD5", 16, 64, EVP_md5, Make<CMD5DigestMaker>},
                                 {"SHA1", 20, 64, EVP_sha1, Make<CSHA1DigestMaker>}};

void Feed(CDigestMaker& maker, const Octets& data, int final) {
    maker.UpdateBlock(data.data(), static_cast<int>(data.size()), nullptr, final, 1);
}

Octets Digest(const CDigestMaker& maker, const Algorithm& algorithm) {
    Octets out(static_cast<std::size_t>(algorithm.digestSize));
    maker.GetCurrentDigest(out.data());
    return out;
}

// OpenSSL's digest of the message; for MD2, ours in one call (checked by the RFC 1319 suite).
Octets Reference(const Algorithm& algorithm, const Octets& message) {
    if (!algorithm.openssl) {
        auto maker = algorithm.make(nullptr);
        Feed(*maker, message, 1);
        return Digest(*maker, algorithm);
    }
    Octets out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    EXPECT_EQ(EVP_Digest(message.data(), message.size(), out.data(), &size, algorithm.openssl(), nullptr), 1);
    out.resize(size);
    return out;
}

const std::string alphanumeric = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string digits80 = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string million(1000000, 'a');

const struct {
    int algorithm;  // index in kAlgorithms
    std::string message;
    const char* digest;
} kVectors[] = {
    // RFC 1319 appendix A.5
    {0, "", "8350e5a3e24c153df2275c9f80692773"},
    {0, "a", "32ec01ec4a6dac72c0ab96fb34c0b5d1"},
    {0, "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
    {0, "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
    {0, "abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b"},
    {0, alphanumeric, "da33def2a42df13975352846c30338cd"},
    {0, digits80, "d5976f79d83d3a0dc9806c3c66f3efd8"},
    // RFC 1321 appendix A.5, and one million "a"
    {1, "", "d41d8cd98f00b204e9800998ecf8427e"},
    {1, "a", "0cc175b9c0f1b6a831c399e269772661"},
    {1, "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {1, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {1, "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {1, alphanumeric, "d174ab98d277d9f5a5611c2c9f419d9f"},
    {1, digits80, "57edf4a22be3c955ac49da2e2107b67a"},
    {1, million, "7707d6ae4e027c70eea2a935c2296f21"},
    // FIPS 180-1 appendices A, B and C, and the empty message
    {2, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {2, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {2, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {2, million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
};

// Three pieces cut at every pair of points (a few for the long messages), the last finishing.
TEST(StandardVectors, EveryTwoCutSplitGivesTheStandardDigest) {
    for (const auto& vector : kVectors) {
        const Algorithm& algorithm = kAlgorithms[vector.algorithm];
        const Octets message(vector.message.begin(), vector.message.end());
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut<message.size(); cut += message.size()> 100 ? 333331 : 1) cuts.push_back(cut);
        cuts.push_back(message.size());
        for (std::size_t first : cuts)
            for (std::size_t second : cuts) {
                if (second < first) continue;
                auto maker = algorithm.make(nullptr);
                maker->UpdateBlock(message.data(), static_cast<int>(first), nullptr, 0, 1);
                maker->UpdateBlock(message.data() + first, static_cast<int>(second - first), nullptr, 0, 1);
                maker->UpdateBlock(message.data() + second, static_cast<int>(message.size() - second), nullptr, 1, 1);
                ASSERT_EQ(ToHex(Digest(*maker, algorithm)), vector.digest)
                    << algorithm.name << " of " << message.size() << " octets cut at " << first << "," << second;
            }
    }
}

// Every length around the padding boundaries (55/56/63/64 and multiples), and larger ones.
TEST(RandomMessages, RandomPiecesMatchOpenSsl) {
    std::mt19937 pieces(7);
    for (const Algorithm& algorithm : kAlgorithms)
        for (std::size_t size = 0; size < 700; size += size < 300 ? 1 : 37) {
            const Octets message = Pattern(size, static_cast<unsigned>(size));
            auto maker = algorithm.make(nullptr);
            for (std::size_t done = 0, n = 0; done < size; done += n) {
                n = std::min<std::size_t>(pieces() % 200, size - done);
                maker->UpdateBlock(message.data() + done, static_cast<int>(n), nullptr, 0, 1);
            }
            Feed(*maker, {}, 1);
            ASSERT_EQ(ToHex(Digest(*maker, algorithm)), ToHex(Reference(algorithm, message)))
                << algorithm.name << " " << size;
        }
}

Octets Concat(Octets a, const Octets& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One hint per block compressed (whatever mix of buffered and new octets made it) and one
// for a finishing call; the padding blocks of the finish send none.
TEST(DigestMaker, HintsCountCompressedBlocksPlusOneForFinishing) {
    for (const Algorithm& algorithm : kAlgorithms) {
        const int b = algorithm.blockSize;
        const int rows[][3] = {{0, 0, 0},         {0, 0, 1},         {0, 1, 0},        {0, b - 1, 1},
                               {0, b, 0},         {0, b, 1},         {0, b + 1, 0},    {0, 5 * b + 3, 1},
                               {1, b - 1, 0},     {1, b - 2, 1},     {b - 1, 1, 0},    {3, 2 * b - 3, 0},
                               {3, 2 * b - 4, 1}, {b / 2, 7 * b, 1}, {b - 1, b - 1, 1}};
        for (const auto& [buffered, len, final] : rows) {
            const Octets data = Pattern(static_cast<std::size_t>(buffered + len));
            auto maker = algorithm.make(nullptr);
            maker->UpdateBlock(data.data(), buffered, nullptr, 0, 1);
            CMessageRecorder bar;
            CProgress progress(&bar, 0);
            maker->UpdateBlock(data.data() + buffered, len, &progress, final, 1);
            const auto hints = static_cast<std::size_t>((buffered + len) / b + final);
            EXPECT_EQ(bar.messages, std::vector<Message>(hints, Message{PBM_DELTAPOS, 1, 0}))
                << algorithm.name << " buffered " << buffered << " len " << len << " final " << final;
        }
    }
}

TEST(DigestMaker, CopyRunsIndependentlyAndResetStartsANewMessage) {
    for (const Algorithm& algorithm : kAlgorithms) {
        const Octets prefix = Pattern(static_cast<std::size_t>(algorithm.blockSize + 5)), x = Pattern(20, 2),
                     y = Pattern(30, 3);
        auto source = algorithm.make(nullptr);
        Feed(*source, prefix, 0);
        auto copy = algorithm.make(source.get());
        Feed(*source, x, 1);
        Feed(*copy, y, 1);
        EXPECT_EQ(Digest(*source, algorithm), Reference(algorithm, Concat(prefix, x))) << algorithm.name;
        EXPECT_EQ(Digest(*copy, algorithm), Reference(algorithm, Concat(prefix, y))) << algorithm.name;
        Feed(*source, Pattern(7), 0);
        source->ResetContext();
        Feed(*source, y, 1);
        EXPECT_EQ(Digest(*source, algorithm), Reference(algorithm, y)) << algorithm.name;
    }
}

// Files of 0, 1,024, 2,048 and odd lengths: the digest, SetUp(len >> 3, 0, 1, 0) first, one
// hint per block plus one for finishing, SetUp(1, 0, 1, 1) last.
TEST(DigestMaker, UpdateFileGivesTheDigestAndItsProgressMessages) {
    for (const Algorithm& algorithm : kAlgorithms)
        for (std::size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 3001u}) {
            const Octets contents = Pattern(size, static_cast<unsigned>(size));
            TempFile temporary(contents);
            CFile file(temporary.Path(), CFile::modeRead);
            CMessageRecorder bar;
            CProgress progress(&bar, 0);
            auto maker = algorithm.make(nullptr);
            maker->UpdateFile(file, 0, &progress, 1);
            EXPECT_EQ(ToHex(Digest(*maker, algorithm)), ToHex(Reference(algorithm, contents))) << size;
            auto expected = SetUpMessages(static_cast<int>(size >> 3), 0, 1, 0);
            expected.insert(expected.end(), size / static_cast<std::size_t>(algorithm.blockSize) + 1,
                            Message{PBM_DELTAPOS, 1, 0});
            for (const Message& m : SetUpMessages(1, 0, 1, 1)) expected.push_back(m);
            EXPECT_EQ(bar.messages, expected) << algorithm.name << " " << size;
        }
}

// The length counts from the file's position, 0 reads to the end and the finish can come
// later; a length past the end fails instead of digesting stale octets.
TEST(DigestMaker, UpdateFileReadsFromThePositionAndRefusesLengthsPastTheEnd) {
    const Octets contents = Pattern(5000, 5);
    TempFile temporary(contents);
    CFile file(temporary.Path(), CFile::modeRead);
    file.Seek(100, CFile::begin);
    CSHA1DigestMaker maker;
    maker.UpdateFile(file, 2100, nullptr, 0);
    maker.UpdateFile(file, 0, nullptr, 1);
    EXPECT_EQ(Digest(maker, kAlgorithms[2]), Reference(kAlgorithms[2], Octets(contents.begin() + 100, contents.end())));
    file.Seek(4000, CFile::begin);
    EXPECT_EQ(CauseOf<CFileException>([&] { maker.UpdateFile(file, 2000, nullptr, 1); }), CFileException::endOfFile);
}

Octets WordOctets(const std::vector<std::uint32_t>& words, bool bigEndian) {
    Octets out;
    for (auto w : words)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(w >> (bigEndian ? 24 - 8 * i : 8 * i)));
    return out;
}

// OpenSSL's compression function over whole blocks from the initial state, in the digest's byte order.
Octets ChainingValue(bool sha1, const Octets& blocks) {
    SHA_CTX s;
    MD5_CTX m;
    sha1 ? SHA1_Init(&s) : MD5_Init(&m);
    for (std::size_t i = 0; i < blocks.size(); i += 64)
        sha1 ? SHA1_Transform(&s, &blocks[i]) : MD5_Transform(&m, &blocks[i]);
    return sha1 ? WordOctets({s.h0, s.h1, s.h2, s.h3, s.h4}, true) : WordOctets({m.A, m.B, m.C, m.D}, false);
}

// 0x80, zeros up to 8 short of a block end, and the 64-bit bit count.
void AppendPadding(Octets& data, std::uint64_t lengthBits, bool bigEndian) {
    data.push_back(0x80);
    while (data.size() % 64 != 56) data.push_back(0);
    for (int i = 0; i < 8; ++i)
        data.push_back(static_cast<unsigned char>(lengthBits >> (bigEndian ? 56 - 8 * i : 8 * i)));
}

// Before a finish the current digest is the chaining value of the whole blocks fed. A finish
// does not reset: the next message continues from the finished state, and its length field
// counts the octets of both messages but not the first one's padding.
TEST(DigestMaker, FinishKeepsTheStateAndTheRunningLength) {
    for (const Algorithm& algorithm : {kAlgorithms[1], kAlgorithms[2]})
        for (std::size_t first : {0u, 3u, 55u, 56u, 64u, 119u, 640u})
            for (std::size_t second : {0u, 1u, 60u, 200u}) {
                const bool sha1 = algorithm.name == "SHA1";
                const Octets m = Pattern(first, 9), n = Pattern(second, 10);
                auto maker = algorithm.make(nullptr);
                Feed(*maker, m, 0);
                EXPECT_EQ(Digest(*maker, algorithm), ChainingValue(sha1, Octets(m.begin(), m.end() - first % 64)));
                Feed(*maker, {}, 1);
                Feed(*maker, n, 1);
                Octets fed = m;
                AppendPadding(fed, 8 * first, sha1);
                fed = Concat(fed, n);
                AppendPadding(fed, 8 * (first + second), sha1);
                EXPECT_EQ(Digest(*maker, algorithm), ChainingValue(sha1, fed)) << first << "+" << second;
            }
}

// Digests run the SHA instructions where the processor has them (as this one does); the
// portable path that runs elsewhere is checked on its own.
TEST(DigestMaker, PortableSha1CompressionGivesOpenSslsChainingValue) {
    const Octets blocks = Pattern(64 * 9, 4);
    for (int n = 1; n <= 9; n += 4) {
        std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
        detail::Sha1CompressPortable(state, blocks.data(), n);
        EXPECT_EQ(WordOctets({state, state + 5}, true),
                  ChainingValue(true, Octets(blocks.begin(), blocks.begin() + 64 * n)));
    }
}

// Name2UniqueID gives upper-case hexadecimal of the first `count` octets; counts outside
// 0..16 are clamped rather than reading past the digest.
TEST(Md5Helpers, DigestOnDataAndName2UniqueIDGiveTheMd5) {
    Octets data = Pattern(1000, 11), out(16);
    AfxMakeMD5DigestOnData(data.data(), 1000, out.data());
    EXPECT_EQ(out, Reference(kAlgorithms[1], data));
    const std::tuple<const char*, int, const char*> rows[] = {{nullptr, 16, "D41D8CD98F00B204E9800998ECF8427E"},
                                                              {"abc", 4, "90015098"},
                                                              {"abc", -3, ""},
                                                              {"abc", 40, "900150983CD24FB0D6963F7D28E17F72"}};
    for (const auto& [name, count, expected] : rows)
        EXPECT_EQ(std::string(Name2UniqueID(name, count)), expected) << count;
}

}  // namespace
