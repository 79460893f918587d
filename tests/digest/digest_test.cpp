// The digest makers against the RFC 1319, RFC 1321, FIPS 180-1 and FIPS 180-4 known answers
// and OpenSSL (which has no MD2), and the block-feeding contract of CDigestMaker: splits,
// progress hints, copies and resets, file digests, the state around a finish, the
// portable SHA-1 and SHA-256 compression paths, SHA-384 and SHA-512 (each of its compression
// versions that this processor runs), and the MD5 helpers.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <array>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

#include "tests/common/exceptions.h"
#include "tests/common/octets.h"
#include "tests/common/progress_recorder.h"
#include "tests/common/temp_file.h"
#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha1compress.h"
#include "vorlan/digest/sha256.h"
#include "vorlan/digest/sha256compress.h"
#include "vorlan/digest/sha512.h"
#include "vorlan/framework/file.h"

namespace {

using namespace testcommon;

struct Algorithm {
    const char* name;
    std::size_t digestSize, blockSize;
    const EVP_MD* (*openssl)();                                         // null for MD2
    std::unique_ptr<CDigestMaker> (*make)(const CDigestMaker* copyOf);  // new, or a copy of copyOf
    Octets (*chaining)(const Octets& blocks);                           // OpenSSL's; null for MD2
    bool bigEndian;
    Octets Of(const CDigestMaker& maker) const {
        Octets out(digestSize);
        maker.GetCurrentDigest(out.data());
        return out;
    }
};

template <class Maker>
std::unique_ptr<CDigestMaker> Make(const CDigestMaker* copyOf) {
    return copyOf ? std::make_unique<Maker>(dynamic_cast<const Maker&>(*copyOf)) : std::make_unique<Maker>();
}

// The octets of the words, each in the digest's byte order.
template <class Words>
Octets WordOctets(const Words& words, bool bigEndian = true) {
    using Word = std::remove_cvref_t<decltype(*std::begin(words))>;
    Octets out;
    for (const Word word : words)
        for (std::size_t i = 0; i < sizeof(Word); ++i)
            out.push_back(static_cast<unsigned char>(word >> 8 * (bigEndian ? sizeof(Word) - 1 - i : i)));
    return out;
}

// OpenSSL's compression function over whole blocks from the initial state, as the digest
// maker's current digest gives it (its words in the digest's byte order).
template <class Context, bool BigEndian, std::size_t Block = 64, class Words>
Octets ChainingValue(const Octets& blocks, int (*init)(Context*), void (*transform)(Context*, const unsigned char*),
                     Words words) {
    Context context{};
    init(&context);
    for (std::size_t i = 0; i < blocks.size(); i += Block) transform(&context, &blocks[i]);
    return WordOctets(words(context), BigEndian);
}

Octets Md5Chaining(const Octets& blocks) {
    return ChainingValue<MD5_CTX, false>(blocks, MD5_Init, MD5_Transform,
                                         [](const MD5_CTX& c) { return std::array{c.A, c.B, c.C, c.D}; });
}
Octets Sha1Chaining(const Octets& blocks) {
    return ChainingValue<SHA_CTX, true>(blocks, SHA1_Init, SHA1_Transform,
                                        [](const SHA_CTX& c) { return std::array{c.h0, c.h1, c.h2, c.h3, c.h4}; });
}
Octets Sha256Chaining(const Octets& blocks) {
    return ChainingValue<SHA256_CTX, true>(blocks, SHA256_Init, SHA256_Transform,
                                           [](const SHA256_CTX& c) { return std::span(c.h); });
}

// SHA-384 and SHA-512 share one compression function and SHA512_Transform; SHA-384's
// current digest shows the first six of the eight words.
template <int (*Init)(SHA512_CTX*), int Words>
Octets Sha512Chaining(const Octets& blocks) {
    return ChainingValue<SHA512_CTX, true, 128>(blocks, Init, SHA512_Transform,
                                                [](const SHA512_CTX& c) { return std::span(c.h, Words); });
}

const Algorithm kMD2{"MD2", 16, 16, nullptr, Make<CMD2DigestMaker>, nullptr, false},
    kMD5{"MD5", 16, 64, EVP_md5, Make<CMD5DigestMaker>, Md5Chaining, false},
    kSHA1{"SHA1", 20, 64, EVP_sha1, Make<CSHA1DigestMaker>, Sha1Chaining, true},
    kSHA256{"SHA256", 32, 64, EVP_sha256, Make<CSHA256DigestMaker>, Sha256Chaining, true},
    kSHA384{"SHA384", 48, 128, EVP_sha384, Make<CSHA384DigestMaker>, Sha512Chaining<SHA384_Init, 6>, true},
    kSHA512{"SHA512", 64, 128, EVP_sha512, Make<CSHA512DigestMaker>, Sha512Chaining<SHA512_Init, 8>, true},
    kAlgorithms[] = {kMD2, kMD5, kSHA1, kSHA256, kSHA384, kSHA512};

void Feed(CDigestMaker& maker, const Octets& data, int final, CProgress* progress = nullptr) {
    maker.UpdateBlock(data.data(), static_cast<int>(data.size()), progress, final, 1);
}

// OpenSSL's digest of the message and more; for MD2, ours in one call (checked by the RFC
// 1319 suite).
Octets Reference(const Algorithm& algorithm, Octets message, const Octets& more = {}) {
    message.insert(message.end(), more.begin(), more.end());
    auto maker = algorithm.make(nullptr);
    Feed(*maker, message, 1);
    Octets out = algorithm.Of(*maker);
    EXPECT_TRUE(!algorithm.openssl ||
                EVP_Digest(message.data(), message.size(), out.data(), nullptr, algorithm.openssl(), nullptr) == 1);
    return out;
}

const std::string alphanumeric = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string digits80 = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string million(1000000, 'a');
const std::string kTwoBlocks512 =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";

const std::tuple<const Algorithm&, std::string, const char*> kVectors[] = {
    // RFC 1319 appendix A.5
    {kMD2, "", "8350e5a3e24c153df2275c9f80692773"},
    {kMD2, "a", "32ec01ec4a6dac72c0ab96fb34c0b5d1"},
    {kMD2, "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
    {kMD2, "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
    {kMD2, "abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b"},
    {kMD2, alphanumeric, "da33def2a42df13975352846c30338cd"},
    {kMD2, digits80, "d5976f79d83d3a0dc9806c3c66f3efd8"},
    // RFC 1321 appendix A.5 (MD5 is also compared with OpenSSL below) and one million "a"
    {kMD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
    {kMD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {kMD5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {kMD5, million, "7707d6ae4e027c70eea2a935c2296f21"},
    // FIPS 180-1 appendices A, B and C
    {kSHA1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {kSHA1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {kSHA1, million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    // FIPS 180-4 examples (NIST's SHA-256 one- and two-block messages) and one million "a"
    {kSHA256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {kSHA256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {kSHA256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {kSHA256, million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    // FIPS 180-4 examples (NIST's SHA-384 and SHA-512 one- and two-block messages) and one million "a"
    {kSHA384, "abc",
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {kSHA384, kTwoBlocks512,
     "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
    {kSHA384, million,
     "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
    {kSHA512, "",
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
    {kSHA512, "abc",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
    {kSHA512, kTwoBlocks512,
     "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
    {kSHA512, million,
     "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
};

// Three pieces cut at every pair of points (a few for the long messages), the last finishing.
TEST(StandardVectors, EveryTwoCutSplitGivesTheStandardDigest) {
    for (const auto& [algorithm, message, digest] : kVectors) {
        const auto* m = reinterpret_cast<const unsigned char*>(message.data());
        const std::size_t step = message.size() > 100 ? 333331 : 1;
        for (std::size_t first = 0; first <= message.size(); first += step)
            for (std::size_t second = first; second <= message.size(); second += step) {
                auto maker = algorithm.make(nullptr);
                for (auto [from, to, final] :
                     {std::tuple{0ul, first, 0}, {first, second, 0}, {second, message.size(), 1}})
                    maker->UpdateBlock(m + from, static_cast<int>(to - from), nullptr, final, 1);
                ASSERT_EQ(ToHex(algorithm.Of(*maker)), digest)
                    << algorithm.name << " of " << message.size() << " octets cut at " << first << "," << second;
            }
    }
}

// One hint per block compressed (whatever mix of buffered and new octets made it) and one
// for a finishing call; the padding blocks of the finish send none.
TEST(DigestMaker, HintsCountCompressedBlocksPlusOneForFinishing) {
    for (const Algorithm& algorithm : kAlgorithms) {
        const std::size_t b = algorithm.blockSize;
        const std::size_t rows[][3] = {{0, 0, 0},     {0, 0, 1},     {0, 1, 0},         {0, b - 1, 1},
                                       {0, b, 0},     {0, b, 1},     {0, b + 1, 0},     {0, 5 * b + 3, 1},
                                       {1, b - 1, 0}, {b - 1, 1, 0}, {3, 2 * b - 3, 0}, {3, 2 * b - 4, 1}};
        for (const auto& [buffered, len, final] : rows) {
            auto maker = algorithm.make(nullptr);
            Feed(*maker, Pattern(buffered), 0);
            CMessageRecorder bar;
            CProgress progress(&bar, 0);
            Feed(*maker, Pattern(len), static_cast<int>(final), &progress);
            EXPECT_EQ(bar.messages, std::vector<Message>((buffered + len) / b + final, Message{PBM_DELTAPOS, 1, 0}))
                << algorithm.name << " buffered " << buffered << " len " << len << " final " << final;
        }
    }
}

// Files of 0, 1,024, 2,048 and odd lengths: the digest, SetUp(len >> 3, 0, 1, 0) first, one
// hint per block plus one for finishing, SetUp(1, 0, 1, 1) last. After a reset, the length
// counts from the file's position (0 reads to the end); a length past the end fails instead
// of digesting stale octets.
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
            EXPECT_EQ(ToHex(algorithm.Of(*maker)), ToHex(Reference(algorithm, contents))) << size;
            auto expected = SetUpMessages(static_cast<int>(size >> 3), 0, 1, 0), last = SetUpMessages(1, 0, 1, 1);
            expected.insert(expected.end(), size / algorithm.blockSize + 1, Message{PBM_DELTAPOS, 1, 0});
            expected.insert(expected.end(), last.begin(), last.end());
            EXPECT_EQ(bar.messages, expected) << algorithm.name << " " << size;
            if (size < 3001) continue;
            file.Seek(100, CFile::begin);
            maker->ResetContext();
            maker->UpdateFile(file, 0, nullptr, 1);
            EXPECT_EQ(algorithm.Of(*maker), Reference(algorithm, Octets(contents.begin() + 100, contents.end())));
            file.Seek(2000, CFile::begin);
            EXPECT_EQ(CauseOf<CFileException>([&] { maker->UpdateFile(file, 2000, nullptr, 1); }),
                      CFileException::endOfFile);
        }
}

// 0x80, zeros up to the length field (8 octets, 16 for 128-octet blocks) short of a block end,
// and the bit count.
void AppendPadding(Octets& data, std::uint64_t lengthBits, const Algorithm& algorithm) {
    const std::size_t block = algorithm.blockSize, field = block / 8;
    data.push_back(0x80);
    while (data.size() % block != block - field) data.push_back(0);
    data.insert(data.end(), field - 8, 0);
    const Octets length = WordOctets(std::span(&lengthBits, 1), algorithm.bigEndian);
    data.insert(data.end(), length.begin(), length.end());
}

// Before a finish the current digest is the chaining value of the whole blocks fed, and a
// copy made then runs on independently; the finish gives the digest of every length around
// the padding boundaries. A finish does not reset: the next message continues from the
// finished state, and its length field counts the octets of both messages but not the first
// one's padding.
TEST(DigestMaker, FinishKeepsTheStateAndTheRunningLength) {
    for (const Algorithm& algorithm : kAlgorithms)
        for (std::size_t first = 0; first < 300; first += first < 130 ? 1 : 53)
            for (std::size_t second : {0u, 60u, 200u}) {
                const Octets m = Pattern(first, 9), n = Pattern(second, 10);
                auto maker = algorithm.make(nullptr);
                Feed(*maker, m, 0);
                auto copy = algorithm.make(maker.get());
                Feed(*copy, n, 1);
                EXPECT_EQ(algorithm.Of(*copy), Reference(algorithm, m, n)) << algorithm.name << " " << first;
                if (!algorithm.openssl) continue;  // MD2 has no chaining value in OpenSSL
                EXPECT_EQ(algorithm.Of(*maker), algorithm.chaining(Octets(m.begin(), m.end() - first % algorithm.blockSize)));
                Feed(*maker, {}, 1);
                EXPECT_EQ(algorithm.Of(*maker), Reference(algorithm, m)) << first;
                Feed(*maker, n, 1);
                Octets fed = m;
                AppendPadding(fed, 8 * first, algorithm);
                fed.insert(fed.end(), n.begin(), n.end());
                AppendPadding(fed, 8 * (first + second), algorithm);
                EXPECT_EQ(algorithm.Of(*maker), algorithm.chaining(fed)) << first << "+" << second;
            }
}

// Digests run the SHA instructions (and SHA-512 its vector schedules) where the processor has
// them (as this one does); the portable paths that run elsewhere are checked on their own, and
// every SHA-512 version this processor runs on five blocks (two pairs and a single one).
TEST(DigestMaker, ShaCompressionPathsGiveOpenSslsChainingValue) {
    const Octets blocks = Pattern(64 * 9, 4);
    std::uint32_t sha1[5], sha256[8];
    std::copy(std::begin(vorlan::detail::Sha1Traits::initialState), std::end(vorlan::detail::Sha1Traits::initialState), sha1);
    std::copy(std::begin(vorlan::detail::Sha256Traits::initialState), std::end(vorlan::detail::Sha256Traits::initialState), sha256);
    vorlan::detail::Sha1CompressPortable(sha1, blocks.data(), 9);
    vorlan::detail::Sha256CompressPortable(sha256, blocks.data(), 9);
    EXPECT_EQ(ToHex(WordOctets(sha1)), ToHex(Sha1Chaining(blocks)));
    EXPECT_EQ(ToHex(WordOctets(sha256)), ToHex(Sha256Chaining(blocks)));
    const Octets blocks512 = Pattern(128 * 5, 4);
    const auto compressors = vorlan::detail::Sha512Compressors();
    EXPECT_EQ(compressors.back(), vorlan::detail::Sha512CompressPortable);
    for (std::size_t version = 0; version < compressors.size(); ++version) {
        std::uint64_t sha512[8];
        std::copy(std::begin(vorlan::detail::kSha512InitialState), std::end(vorlan::detail::kSha512InitialState),
                  sha512);
        compressors[version](sha512, blocks512.data(), 5);
        EXPECT_EQ(ToHex(WordOctets(sha512)), ToHex(Sha512Chaining<SHA512_Init, 8>(blocks512)))
            << "version " << version;
    }
}

// Name2UniqueID gives upper-case hexadecimal of the first `count` octets; counts outside
// 0..16 are clamped rather than reading past the digest.
TEST(Md5Helpers, DigestOnDataAndName2UniqueIDGiveTheMd5) {
    Octets data = Pattern(1000, 11), out(16);
    AfxMakeMD5DigestOnData(data.data(), 1000, out.data());
    EXPECT_EQ(out, Reference(kMD5, data));
    const std::tuple<const char*, int, const char*> rows[] = {{nullptr, 4, "D41D8CD9"},
                                                              {"abc", 4, "90015098"},
                                                              {"abc", -3, ""},
                                                              {"abc", 40, "900150983CD24FB0D6963F7D28E17F72"}};
    for (const auto& [name, count, expected] : rows)
        EXPECT_EQ(std::string(Name2UniqueID(name, count)), expected) << count;
}

}  // namespace
