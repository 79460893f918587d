// DES and triple DES against the FIPS/NBS known answers and against OpenSSL.
#include <gtest/gtest.h>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/tripledes.h"

using namespace cipher_test;

namespace {

struct KnownAnswer {
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS 46/81 examples and rows of the NBS variable-plaintext and variable-key tables.
constexpr KnownAnswer kDesAnswers[] = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"2001010101010101", "0000000000000000", "7AD16FFB79C45926"},
};

TEST(DesTest, EncipherMatchesStandardKnownAnswers) {
    for (const auto& row : kDesAnswers) {
        const auto key = MakeKey<CDESkey>(Hex(row.key));
        EXPECT_EQ(ToHex(Ecb<CDESAlgorithm>(key, Hex(row.plain), true)), ToHex(Hex(row.cipher))) << row.key;
        EXPECT_EQ(ToHex(Ecb<CDESAlgorithm>(key, Hex(row.cipher), false)), ToHex(Hex(row.plain))) << row.key;
    }
}

// Every row of the variable-plaintext (64 single-bit blocks, key 01..01) and
// variable-key (56 single-bit keys, block 0) tables, plus random keys and blocks.
TEST(DesTest, VariablePlaintextAndKeyTablesMatchOpenSSL) {
    std::vector<std::pair<Bytes, Bytes>> rows;
    for (int bit = 0; bit < 64; ++bit) {
        Bytes plain(8, 0);
        plain[static_cast<std::size_t>(bit / 8)] = static_cast<unsigned char>(0x80 >> (bit % 8));
        rows.emplace_back(Hex("0101010101010101"), plain);
    }
    for (int bit = 0; bit < 64; ++bit) {
        if (bit % 8 == 7) continue;  // parity bits
        Bytes key(8, 0x01);
        key[static_cast<std::size_t>(bit / 8)] = static_cast<unsigned char>(0x80 >> (bit % 8));
        AdjustDESKeyParity(key.data(), 8);  // parity is ignored by the cipher either way
        rows.emplace_back(key, Bytes(8, 0));
    }
    for (unsigned seed = 1; seed <= 64; ++seed) rows.emplace_back(Pattern(8, seed), Pattern(64, seed + 100));
    for (const auto& [keyOctets, plain] : rows) {
        const auto key = MakeKey<CDESkey>(keyOctets);
        const Bytes expected = OpenSSLCrypt("DES-ECB", keyOctets, {}, plain, true, false);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ToHex(Ecb<CDESAlgorithm>(key, plain, true)), ToHex(expected)) << ToHex(keyOctets);
        EXPECT_EQ(ToHex(Ecb<CDESAlgorithm>(key, expected, false)), ToHex(plain)) << ToHex(keyOctets);
    }
}

TEST(DesTest, RejectsKeyOfWrongLength) {
    CDESkey key;
    key.Set(Hex("01020304").data(), 4);
    EXPECT_NE(UnlockReason([&] { CDESAlgorithm des(key, 1, nullptr); }), "<no exception>");
    CTripleDESkey key3;
    key3.Set(Hex("0102030405060708").data(), 8);
    EXPECT_NE(UnlockReason([&] { CTripleDESAlgorithm des(key3, 1, nullptr); }), "<no exception>");
}

// SP 800-67 example: three distinct keys over "The qufck brown fox jump".
TEST(TripleDesTest, EncipherMatchesStandardExample) {
    const auto key = MakeKey<CTripleDESkey>(Hex("0123456789ABCDEF 23456789ABCDEF01 456789ABCDEF0123"));
    const Bytes plain = Hex("5468652071756663 6B2062726F776E20 666F78206A756D70");
    const Bytes cipher = Hex("A826FD8CE53B855F CCE21C8112256FE6 68D5C05DD9B6B900");
    EXPECT_EQ(ToHex(Ecb<CTripleDESAlgorithm>(key, plain, true)), ToHex(cipher));
    EXPECT_EQ(ToHex(Ecb<CTripleDESAlgorithm>(key, cipher, false)), ToHex(plain));
}

TEST(TripleDesTest, EqualKeysBehaveAsSingleDes) {
    const Bytes k = Hex("133457799BBCDFF1");
    Bytes k3 = k;
    k3.insert(k3.end(), k.begin(), k.end());
    k3.insert(k3.end(), k.begin(), k.end());
    const Bytes plain = Pattern(40);
    EXPECT_EQ(ToHex(Ecb<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(k3), plain, true)),
              ToHex(Ecb<CDESAlgorithm>(MakeKey<CDESkey>(k), plain, true)));
}

// EDE order of the three keys (and two-key EDE, k1 = k3) against OpenSSL.
TEST(TripleDesTest, ThreeAndTwoKeyEdeMatchOpenSSL) {
    for (unsigned seed = 1; seed <= 16; ++seed) {
        Bytes k = Pattern(24, seed);
        if (seed % 2 == 0) std::copy(k.begin(), k.begin() + 8, k.begin() + 16);
        const Bytes plain = Pattern(48, seed + 7);
        const Bytes expected = OpenSSLCrypt("DES-EDE3-ECB", k, {}, plain, true, false);
        const auto key = MakeKey<CTripleDESkey>(k);
        EXPECT_EQ(ToHex(Ecb<CTripleDESAlgorithm>(key, plain, true)), ToHex(expected)) << seed;
        EXPECT_EQ(ToHex(Ecb<CTripleDESAlgorithm>(key, expected, false)), ToHex(plain)) << seed;
    }
}

}  // namespace
