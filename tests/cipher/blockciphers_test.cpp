// IDEA, RC2 and RC5 against their published known answers and OpenSSL.
#include <gtest/gtest.h>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"

using namespace cipher_test;

namespace {

// The library loads IDEA key octet pairs low octet first: a standard key is
// given to it with the octets of every pair exchanged.
Bytes SwapPairs(Bytes octets) {
    for (std::size_t i = 0; i + 1 < octets.size(); i += 2) std::swap(octets[i], octets[i + 1]);
    return octets;
}

// The published IDEA example: key words 1..8, block words 0..3.
TEST(IdeaTest, PairSwappedKeyGivesPublishedVector) {
    const Bytes standardKey = Hex("00010002000300040005000600070008");
    const Bytes plain = Hex("0000000100020003"), cipher = Hex("11FBED2B01986DE5");
    const auto key = MakeKey<CIDEAkey>(SwapPairs(standardKey));
    EXPECT_EQ(ToHex(Ecb<CIDEAAlgorithm>(key, plain, true)), ToHex(cipher));
    EXPECT_EQ(ToHex(Ecb<CIDEAAlgorithm>(key, cipher, false)), ToHex(plain));
    // Loaded as stored, the same octets are a different key.
    EXPECT_NE(ToHex(Ecb<CIDEAAlgorithm>(MakeKey<CIDEAkey>(standardKey), plain, true)), ToHex(cipher));
}

// Decryption subkeys (inverses mod 65537, including the 0 = 65536 case) round-trip.
TEST(IdeaTest, DecipherInvertsEncipherForKeysWithZeroWords) {
    for (const Bytes& k : {Bytes(16, 0), Hex("0000000100000000ffff000000000001"), Pattern(16, 5)}) {
        const Bytes plain = Pattern(64, 9);
        const auto key = MakeKey<CIDEAkey>(k);
        EXPECT_EQ(ToHex(Ecb<CIDEAAlgorithm>(key, Ecb<CIDEAAlgorithm>(key, plain, true), false)), ToHex(plain));
    }
}

struct Rc2Answer {
    const char* key;
    unsigned short effectiveBits;
    const char* plain;
    const char* cipher;
};

// RFC 2268 section 5.
constexpr Rc2Answer kRc2Answers[] = {
    {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
    {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
    {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
    {"88", 64, "0000000000000000", "61a8a244adacccf0"},
    {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
    {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
    {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
    {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
     "5b78d3a43dfff1f1"},
};

TEST(Rc2Test, MatchesRfc2268VectorsWithEffectiveBits) {
    for (const auto& row : kRc2Answers) {
        const auto key = MakeKey<CRC2key>(Hex(row.key), row.effectiveBits);
        EXPECT_EQ(ToHex(Ecb<CRC2Algorithm>(key, Hex(row.plain), true)), row.cipher) << row.key;
        EXPECT_EQ(ToHex(Ecb<CRC2Algorithm>(key, Hex(row.cipher), false)), ToHex(Hex(row.plain))) << row.key;
    }
}

// Key lengths and effective bits apart from each other, against OpenSSL's RC2.
TEST(Rc2Test, KeyLengthsAndEffectiveBitsMatchOpenSSL) {
    const struct {
        std::size_t octets;
        int bits;
    } shapes[] = {{5, 40}, {8, 64}, {16, 128}, {16, 40}, {5, 64}, {32, 255}, {1, 8}, {128, 1024}};
    for (const auto& shape : shapes) {
        const Bytes k = Pattern(shape.octets, static_cast<unsigned>(shape.bits));
        const Bytes plain = Pattern(32, 3);
        const Bytes expected = OpenSSLCrypt("RC2-ECB", k, {}, plain, true, false, shape.bits);
        ASSERT_FALSE(expected.empty()) << shape.bits;
        const auto key = MakeKey<CRC2key>(k, static_cast<unsigned short>(shape.bits));
        EXPECT_EQ(ToHex(Ecb<CRC2Algorithm>(key, plain, true)), ToHex(expected)) << shape.octets << "/" << shape.bits;
    }
}

TEST(Rc2Test, RejectsKeyOrEffectiveBitsOutOfRange) {
    for (auto [octets, bits] : {std::pair<std::size_t, int>{0, 64}, {129, 64}, {8, 0}, {8, 1025}}) {
        const auto key = MakeKey<CRC2key>(Pattern(octets), static_cast<unsigned short>(bits));
        EXPECT_NE(UnlockReason([&] { CRC2Algorithm rc2(key, 1, nullptr); }), "<no exception>") << octets << "/" << bits;
    }
}

TEST(BadRc2Test, ShippedTablesGiveStandardRc2AndInstalledTablesReplaceIt) {
    const auto key = MakeKey<CRC2key>(Hex("88bca90e90875a7f0f79c384627bafb2"), 128);
    const Bytes plain = Pattern(24);
    EXPECT_EQ(ToHex(Ecb<CBadRC2Algorithm>(key, plain, true)), ToHex(Ecb<CRC2Algorithm>(key, plain, true)));

    // Integers whose remainders carry the sign: -1 % 256 is -1, low octet 0xff.
    std::int32_t integers[256];
    std::uint8_t octets[256];
    for (int i = 0; i < 256; ++i) {
        integers[i] = i % 2 ? -1 : 256 * i;  // low octet 0xff or 0
        octets[i] = static_cast<std::uint8_t>(i);
    }
    CBadRC2Algorithm::InstallSourceTables(integers, octets);
    const Bytes replaced = Ecb<CBadRC2Algorithm>(key, plain, true);
    CBadRC2Algorithm::InstallDefaultSourceTables();
    EXPECT_NE(ToHex(replaced), ToHex(Ecb<CRC2Algorithm>(key, plain, true)));
    EXPECT_EQ(ToHex(Ecb<CBadRC2Algorithm>(key, plain, true)), ToHex(Ecb<CRC2Algorithm>(key, plain, true)));
}

// RC5-32/12/16 examples published with the cipher (blocks as octet strings).
TEST(Rc5Test, Rc5_32_12_16MatchesPublishedExamples) {
    const struct {
        const char* key;
        const char* plain;
        const char* cipher;
    } rows[] = {
        {"00000000000000000000000000000000", "0000000000000000", "21a5dbee154b8f6d"},
        {"915f4619be41b2516355a50110a9ce91", "21a5dbee154b8f6d", "f7c013ac5b2b8952"},
        {"783348e75aeb0f2fd7b169bb8dc16787", "f7c013ac5b2b8952", "2f42b3b70369fc92"},
        {"dc49db1375a5584f6485b413b5f12baf", "2f42b3b70369fc92", "65c178b284d197cc"},
        {"5269f149d41ba0152497574d7f153125", "65c178b284d197cc", "eb44e415da319824"},
    };
    for (const auto& row : rows) {
        const auto key = MakeKey<CRC5key>(Hex(row.key));
        EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(key, Hex(row.plain), true, 12ul, 8ul)), row.cipher) << row.key;
        EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(key, Hex(row.cipher), false, 12ul, 8ul)), row.plain) << row.key;
    }
}

// The library's own loading for 16-bit words ignores key octets at index mod 4 = 2, 3.
TEST(Rc5Test, SixteenBitWordsIgnoreKeyOctetsTwoAndThree) {
    const Bytes plain = Pattern(16);
    const Bytes a = Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(Hex("0102030405")), plain, true, 12ul, 4ul);
    EXPECT_EQ(ToHex(a), ToHex(Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(Hex("0102ff0405")), plain, true, 12ul, 4ul)));
    EXPECT_EQ(ToHex(a), ToHex(Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(Hex("010203ee05")), plain, true, 12ul, 4ul)));
    EXPECT_NE(ToHex(a), ToHex(Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(Hex("01ff030405")), plain, true, 12ul, 4ul)));
}

// Eight-bit words see only octets at indices divisible by 4. 64-bit words put every
// octet in the low half, sign-extending those shifted into bit 31: 0xff000000
// (extended to 0xffffffffff000000) plus 0x01000000 is 0 modulo 2^64.
TEST(Rc5Test, KeyOctetsSeenDependOnWordSize) {
    const Bytes plain = Pattern(32);
    auto encrypt = [&](const char* key, unsigned long blockSize) {
        return ToHex(Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(Hex(key)), plain, true, 16ul, blockSize));
    };
    EXPECT_EQ(encrypt("0102030405", 2), encrypt("01aabbcc05", 2));
    EXPECT_NE(encrypt("0102030405", 2), encrypt("0102030406", 2));
    EXPECT_NE(encrypt("0102030405", 16), encrypt("0102030485", 16));
    EXPECT_EQ(encrypt("000000ff00000001", 16), encrypt("0000000000000000", 16));
    EXPECT_EQ(encrypt("0000008000000000", 16), encrypt("0000000000000080", 16));
}

TEST(Rc5Test, EveryWordSizeAndRoundCountRoundTrips) {
    for (unsigned long blockSize : {2ul, 4ul, 8ul, 16ul})
        for (unsigned long rounds : {0ul, 1ul, 12ul, 255ul}) {
            const auto key = MakeKey<CRC5key>(Pattern(blockSize * 2 + 3, static_cast<unsigned>(rounds)));
            const Bytes plain = Pattern(blockSize * 5);
            const Bytes cipher = Ecb<CRC5PadAlgorithm>(key, plain, true, rounds, blockSize);
            EXPECT_NE(ToHex(cipher), ToHex(plain));
            EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(key, cipher, false, rounds, blockSize)), ToHex(plain))
                << blockSize << "/" << rounds;
        }
}

// An object built with an unusable block size or round count refuses every use
// instead of running without a schedule.
TEST(Rc5Test, InvalidParametersFailOnUseWithUnlockException) {
    const auto key = MakeKey<CRC5key>(Pattern(5));
    const Bytes data = Pattern(64);
    Bytes out(128);
    for (auto [rounds, blockSize] : {std::pair{12ul, 0ul}, {12ul, 3ul}, {12ul, 32ul}, {256ul, 8ul}, {~0ul, 8ul}}) {
        EXPECT_FALSE(CRC5PadAlgorithm::IsValidRounds(rounds) && CRC5PadAlgorithm::IsValidBlockSize(blockSize));
        CRC5PadAlgorithm rc5(key, rounds, blockSize, 1, nullptr);
        for (unsigned long len : {0ul, 8ul, 32ul}) {
            EXPECT_NE(UnlockReason([&] { rc5.EncryptFinal(data.data(), len, out.data(), nullptr); }), "<no exception>");
            EXPECT_NE(UnlockReason([&] { rc5.DecryptFinal(data.data(), len, out.data(), nullptr); }), "<no exception>");
        }
        EXPECT_NE(UnlockReason([&] { rc5.EncryptBlock(data.data(), 32, out.data(), nullptr); }), "<no exception>");
        EXPECT_NE(UnlockReason([&] { rc5.CountHints(32, 1); }), "<no exception>");
        EXPECT_NE(UnlockReason([&] { rc5.CheckCiphertextSize(32); }), "<no exception>");
        EXPECT_NE(UnlockReason([&] { rc5.EncrFinalOutMaxSize(32); }), "<no exception>");
    }
}

}  // namespace
