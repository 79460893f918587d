// The block ciphers against the standards' known answers and OpenSSL, the library's own
// IDEA key order and RC5 key loading, and the refusal of unusable keys and parameters.
#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"

using namespace cipher_test;

namespace {

template <class Cipher, class Key>
void ExpectBothWays(const Key& key, const Bytes& plain, const Bytes& cipher) {
    EXPECT_EQ(ToHex(Ecb<Cipher>(key, plain, true)), ToHex(cipher)) << ToHex(key.Data(), key.Size());
    EXPECT_EQ(ToHex(Ecb<Cipher>(key, cipher, false)), ToHex(plain)) << ToHex(key.Data(), key.Size());
}

// The cipher of OpenSSL's name encrypts `plain` to `cipher` and decrypts it back.
void ExpectBothWays(const std::string& name, const Bytes& key, int rc2Bits, const Bytes& plain, const Bytes& cipher) {
    if (name == "DES")
        ExpectBothWays<CDESAlgorithm>(MakeKey<CDESkey>(key), plain, cipher);
    else if (name == "DES-EDE3")
        ExpectBothWays<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(key), plain, cipher);
    else if (name == "IDEA")
        ExpectBothWays<CIDEAAlgorithm>(MakeKey<CIDEAkey>(key), plain, cipher);
    else
        ExpectBothWays<CRC2Algorithm>(MakeKey<CRC2key>(key, static_cast<unsigned short>(rc2Bits)), plain, cipher);
}

TEST(CipherTest, StandardKnownAnswers) {
    const struct {
        const char *name, *key;
        int rc2Bits;
        const char *plain, *cipher;
    } rows[] = {
        // FIPS 46/81 examples and rows of the NBS variable-plaintext and variable-key tables.
        {"DES", "133457799BBCDFF1", 0, "0123456789ABCDEF", "85E813540F0AB405"},
        {"DES", "0123456789ABCDEF", 0, "4E6F772069732074", "3FA40E8A984D4815"},
        {"DES", "0E329232EA6D0D73", 0, "8787878787878787", "0000000000000000"},
        {"DES", "0101010101010101", 0, "8000000000000000", "95F8A5E5DD31D900"},
        {"DES", "0101010101010101", 0, "0000000000000001", "166B40B44ABA4BD6"},
        {"DES", "8001010101010101", 0, "0000000000000000", "95A8D72813DAA94D"},
        {"DES", "2001010101010101", 0, "0000000000000000", "7AD16FFB79C45926"},
        // SP 800-67: three distinct keys over "The qufck brown fox jump".
        {"DES-EDE3", "0123456789ABCDEF 23456789ABCDEF01 456789ABCDEF0123", 0,
         "5468652071756663 6B2062726F776E20 666F78206A756D70", "A826FD8CE53B855F CCE21C8112256FE6 68D5C05DD9B6B900"},
        // The published IDEA example (key words 1..8, block words 0..3) with the octets of
        // every key pair exchanged: the library loads pairs low octet first.
        {"IDEA", "01000200030004000500060007000800", 0, "0000000100020003", "11FBED2B01986DE5"},
        // RFC 2268 section 5, with their effective key bits.
        {"RC2", "0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
        {"RC2", "ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
        {"RC2", "3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
        {"RC2", "88", 64, "0000000000000000", "61a8a244adacccf0"},
        {"RC2", "88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
         "5b78d3a43dfff1f1"},
    };
    for (const auto& row : rows)
        ExpectBothWays(row.name, FromHex(row.key), row.rc2Bits, FromHex(row.plain), FromHex(row.cipher));
    // RC5-32/12/16 examples published with the cipher (blocks as octet strings).
    const std::array<const char*, 3> rc5[] = {
        {"00000000000000000000000000000000", "0000000000000000", "21a5dbee154b8f6d"},
        {"915f4619be41b2516355a50110a9ce91", "21a5dbee154b8f6d", "f7c013ac5b2b8952"},
        {"783348e75aeb0f2fd7b169bb8dc16787", "f7c013ac5b2b8952", "2f42b3b70369fc92"},
        {"dc49db1375a5584f6485b413b5f12baf", "2f42b3b70369fc92", "65c178b284d197cc"},
        {"5269f149d41ba0152497574d7f153125", "65c178b284d197cc", "eb44e415da319824"}};
    for (const auto& [key, plain, cipher] : rc5) {
        const auto k = MakeKey<CRC5key>(FromHex(key));
        EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(k, FromHex(plain), true, 12ul, 8ul)), cipher);
        EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(k, FromHex(cipher), false, 12ul, 8ul)), plain);
    }
}

// Every row of the variable-plaintext (single-bit blocks, key 01..01) and variable-key
// (single-bit keys, block 0) tables, random DES keys, two- and three-key EDE, and RC2 key
// lengths apart from their effective bits, against OpenSSL.
TEST(CipherTest, DesTripleDesAndRc2MatchOpenSSL) {
    struct Row {
        std::string name;
        Bytes key, plain;
        int rc2Bits;
    };
    std::vector<Row> rows;
    for (int bit = 0; bit < 64; ++bit) {
        Bytes single(8, 0), key(8, 0x01);
        single[static_cast<std::size_t>(bit / 8)] = static_cast<unsigned char>(0x80 >> (bit % 8));
        for (std::size_t i = 0; i < 8; ++i) key[i] |= single[i];  // the cipher ignores the parity bits
        rows.push_back({"DES", Bytes(8, 0x01), single, 0});
        rows.push_back({"DES", key, Bytes(8, 0), 0});
    }
    for (unsigned seed = 1; seed <= 16; ++seed) {
        rows.push_back({"DES", Pattern(8, seed), Pattern(64, seed + 100), 0});
        Bytes k = Pattern(24, seed);
        if (seed % 2 == 0) std::copy(k.begin(), k.begin() + 8, k.begin() + 16);
        rows.push_back({"DES-EDE3", k, Pattern(48, seed + 7), 0});
    }
    for (auto [octets, bits] :
         {std::pair<std::size_t, int>{5, 40}, {8, 64}, {16, 40}, {5, 64}, {32, 255}, {1, 8}, {128, 1024}})
        rows.push_back({"RC2", Pattern(octets, static_cast<unsigned>(bits)), Pattern(32, 3), bits});
    for (const Row& row : rows) {
        const Bytes expected = OpenSSLCrypt((row.name + "-ECB").c_str(), row.key, {}, row.plain, false, row.rc2Bits);
        ASSERT_FALSE(expected.empty()) << row.name;
        ExpectBothWays(row.name, row.key, row.rc2Bits, row.plain, expected);
    }
}

// Decryption subkeys are inverses mod 65537, including the 0 = 65536 case.
TEST(CipherTest, IdeaDecipherInvertsEncipherForKeysWithZeroWords) {
    for (const Bytes& k : {Bytes(16, 0), FromHex("0000000100000000ffff000000000001")}) {
        const auto key = MakeKey<CIDEAkey>(k);
        EXPECT_EQ(ToHex(Ecb<CIDEAAlgorithm>(key, Ecb<CIDEAAlgorithm>(key, Pattern(64), true), false)),
                  ToHex(Pattern(64)));
    }
}

TEST(CipherTest, BadRc2ShipsStandardTablesAndTakesInstalledOnes) {
    const auto key = MakeKey<CRC2key>(FromHex("88bca90e90875a7f0f79c384627bafb2"), 128);
    const std::string standard = ToHex(Ecb<CRC2Algorithm>(key, Pattern(24), true));
    EXPECT_EQ(ToHex(Ecb<CBadRC2Algorithm>(key, Pattern(24), true)), standard);
    // Integers whose remainders carry the sign: -1 % 256 is -1, low octet 0xff.
    std::int32_t integers[256];
    std::uint8_t octets[256];
    for (int i = 0; i < 256; ++i) {
        integers[i] = i % 2 ? -1 : 256 * i;
        octets[i] = static_cast<std::uint8_t>(i);
    }
    CBadRC2Algorithm::InstallSourceTables(integers, octets);
    const std::string replaced = ToHex(Ecb<CBadRC2Algorithm>(key, Pattern(24), true));
    CBadRC2Algorithm::InstallDefaultSourceTables();
    EXPECT_NE(replaced, standard);
    EXPECT_EQ(ToHex(Ecb<CBadRC2Algorithm>(key, Pattern(24), true)), standard);
}

// The library's own RC5 key loading, which stored data depend on: 8-bit words see only the
// octets at indices divisible by 4, 16-bit words ignore those at index mod 4 = 2, 3, and
// 64-bit words put every octet in the low half, sign-extending those shifted into bit 31
// (0xff000000 extended, plus 0x01000000, is 0 modulo 2^64). Every word size round-trips.
TEST(CipherTest, Rc5KeyOctetsSeenDependOnWordSize) {
    auto encrypt = [](const char* key, unsigned long blockSize) {
        return ToHex(Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(FromHex(key)), Pattern(32), true, 16ul, blockSize));
    };
    const std::tuple<unsigned long, const char*, const char*, bool> rows[] = {
        {2, "0102030405", "01aabbcc05", true},
        {2, "0102030405", "0102030406", false},
        {4, "0102030405", "0102ffee05", true},
        {4, "0102030405", "01ff030405", false},
        {16, "0102030405", "0102030485", false},
        {16, "000000ff00000001", "0000000000000000", true},
        {16, "0000008000000000", "0000000000000080", true}};
    for (const auto& [blockSize, a, b, same] : rows)
        EXPECT_EQ(encrypt(a, blockSize) == encrypt(b, blockSize), same) << a << " " << b;
    for (unsigned long blockSize : {2ul, 4ul, 8ul, 16ul})
        for (unsigned long rounds : {0ul, 1ul, 255ul}) {
            const auto key = MakeKey<CRC5key>(Pattern(blockSize * 2 + 3, static_cast<unsigned>(rounds)));
            const Bytes cipher = Ecb<CRC5PadAlgorithm>(key, Pattern(blockSize * 5), true, rounds, blockSize);
            EXPECT_NE(ToHex(cipher), ToHex(Pattern(blockSize * 5)));
            EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(key, cipher, false, rounds, blockSize)),
                      ToHex(Pattern(blockSize * 5)));
        }
}

// Keys of the wrong length or RC2 effective bits out of range are refused on construction;
// an RC5 object with an unusable block size or round count refuses every use instead of
// running without a schedule.
TEST(CipherTest, UnusableKeysAndParametersFailWithUnlockException) {
    EXPECT_NE(UnlockReason([] { CDESAlgorithm(MakeKey<CDESkey>(Pattern(4)), 1, nullptr); }), kNoException);
    EXPECT_NE(UnlockReason([] { CTripleDESAlgorithm(MakeKey<CTripleDESkey>(Pattern(8)), 1, nullptr); }), kNoException);
    for (auto [octets, bits] : {std::pair<std::size_t, int>{0, 64}, {129, 64}, {8, 0}, {8, 1025}})
        EXPECT_NE(UnlockReason([&] {
                      CRC2Algorithm(MakeKey<CRC2key>(Pattern(octets), static_cast<unsigned short>(bits)), 1, nullptr);
                  }),
                  kNoException);
    const Bytes data = Pattern(64);
    Bytes out(128);
    for (auto [rounds, blockSize] : {std::pair{12ul, 0ul}, {12ul, 3ul}, {12ul, 32ul}, {256ul, 8ul}, {~0ul, 8ul}}) {
        EXPECT_FALSE(CRC5PadAlgorithm::IsValidRounds(rounds) && CRC5PadAlgorithm::IsValidBlockSize(blockSize));
        CRC5PadAlgorithm rc5(MakeKey<CRC5key>(Pattern(5)), rounds, blockSize, 1, nullptr);
        for (unsigned long len : {0ul, 8ul, 32ul}) {
            EXPECT_NE(UnlockReason([&] { rc5.EncryptFinal(data.data(), len, out.data(), nullptr); }), kNoException);
            EXPECT_NE(UnlockReason([&] { rc5.DecryptFinal(data.data(), len, out.data(), nullptr); }), kNoException);
        }
        EXPECT_NE(UnlockReason([&] { rc5.EncryptBlock(data.data(), 32, out.data(), nullptr); }), kNoException);
        EXPECT_NE(UnlockReason([&] { rc5.CountHints(32, 1); }), kNoException);
        EXPECT_NE(UnlockReason([&] { rc5.CheckCiphertextSize(32); }), kNoException);
        EXPECT_NE(UnlockReason([&] { rc5.EncrFinalOutMaxSize(32); }), kNoException);
    }
}

}  // namespace
