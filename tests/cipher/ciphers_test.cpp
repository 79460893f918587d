// The block ciphers against the standards' known answers, the library's own IDEA key
// order and RC5 key loading, and the refusal of unusable keys and parameters.
#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"

using namespace cipher_test;

namespace {

// Unchained blocks through the cipher of the name; `bits` is RC2's effective key bits.
Bytes EcbByName(const std::string& name, const char* key, int bits, const Bytes& data, bool encrypt) {
    const Bytes k = FromHex(key);
    if (name == "DES") return Ecb<CDESAlgorithm>(MakeKey<CDESkey>(k), data, encrypt);
    if (name == "3DES") return Ecb<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(k), data, encrypt);
    if (name == "IDEA") return Ecb<CIDEAAlgorithm>(MakeKey<CIDEAkey>(k), data, encrypt);
    if (name == "RC5") return Ecb<CRC5PadAlgorithm>(MakeKey<CRC5key>(k), data, encrypt, 12ul, 8ul);
    return Ecb<CRC2Algorithm>(MakeKey<CRC2key>(k, static_cast<unsigned short>(bits)), data, encrypt);
}

TEST(CipherTest, StandardKnownAnswers) {
    const struct {
        const char *name, *key;
        int bits;
        const char *plain, *cipher;
    } rows[] = {
        // FIPS 46/81 examples, a row each of the NBS variable-plaintext and variable-key tables.
        {"DES", "133457799BBCDFF1", 0, "0123456789ABCDEF", "85E813540F0AB405"},
        {"DES", "0123456789ABCDEF", 0, "4E6F772069732074", "3FA40E8A984D4815"},
        {"DES", "0101010101010101", 0, "8000000000000000", "95F8A5E5DD31D900"},
        {"DES", "8001010101010101", 0, "0000000000000000", "95A8D72813DAA94D"},
        // SP 800-67: three distinct keys over "The qufck brown fox jump".
        {"3DES", "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123", 0,
         "54686520717566636B2062726F776E20666F78206A756D70", "A826FD8CE53B855FCCE21C8112256FE668D5C05DD9B6B900"},
        // The published IDEA example (key words 1..8, block words 0..3) with the octets of
        // every key pair exchanged: the library loads pairs low octet first.
        {"IDEA", "01000200030004000500060007000800", 0, "0000000100020003", "11FBED2B01986DE5"},
        // RFC 2268 section 5, with their effective key bits.
        {"RC2", "0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
        {"RC2", "88", 64, "0000000000000000", "61a8a244adacccf0"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
        {"RC2", "88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
         "5b78d3a43dfff1f1"},
        // RFC 2040's RC5-32/12/16 examples.
        {"RC5", "00000000000000000000000000000000", 0, "0000000000000000", "21a5dbee154b8f6d"},
        {"RC5", "5269f149d41ba0152497574d7f153125", 0, "65c178b284d197cc", "eb44e415da319824"}};
    for (const auto& r : rows) {
        const Bytes plain = FromHex(r.plain), cipher = FromHex(r.cipher);
        EXPECT_EQ(ToHex(EcbByName(r.name, r.key, r.bits, plain, true)), ToHex(cipher)) << r.name << " " << r.key;
        EXPECT_EQ(ToHex(EcbByName(r.name, r.key, r.bits, cipher, false)), ToHex(plain)) << r.name << " " << r.key;
    }
}

TEST(CipherTest, BadRc2ShipsStandardTablesAndTakesInstalledOnes) {
    const auto key = MakeKey<CRC2key>(FromHex("88bca90e90875a7f0f79c384627bafb2"), 128);
    const std::string standard = ToHex(Ecb<CRC2Algorithm>(key, Pattern(24), true));
    const auto bad = [&] { return ToHex(Ecb<CBadRC2Algorithm>(key, Pattern(24), true)); };
    EXPECT_EQ(bad(), standard);
    // Integers whose remainders carry the sign: -1 % 256 is -1, low octet 0xff.
    std::int32_t integers[256];
    std::uint8_t octets[256];
    for (int i = 0; i < 256; ++i) {
        integers[i] = i % 2 ? -1 : 256 * i;
        octets[i] = static_cast<std::uint8_t>(i);
    }
    CBadRC2Algorithm::InstallSourceTables(integers, octets);
    EXPECT_NE(bad(), standard);
    CBadRC2Algorithm::InstallDefaultSourceTables();
    EXPECT_EQ(bad(), standard);
}

// The library's own RC5 key loading, which stored data depend on: 8-bit words see only the
// octets at indices divisible by 4, 16-bit words ignore those at index mod 4 = 2, 3, and
// 64-bit words put every octet in the low half, sign-extending those shifted into bit 31
// (0xff000000 extended, plus 0x01000000, is 0 modulo 2^64).
TEST(CipherTest, Rc5KeyOctetsSeenDependOnWordSize) {
    // 32 octets through 16 rounds, checked to decrypt back.
    auto encrypt = [](const char* key, unsigned long blockSize) {
        const auto k = MakeKey<CRC5key>(FromHex(key));
        const Bytes cipher = Ecb<CRC5PadAlgorithm>(k, Pattern(32), true, 16ul, blockSize);
        EXPECT_EQ(ToHex(Ecb<CRC5PadAlgorithm>(k, cipher, false, 16ul, blockSize)), ToHex(Pattern(32))) << key;
        return ToHex(cipher);
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
}

// Keys of the wrong length or RC2 effective bits out of range are refused on construction;
// an RC5 object with an unusable block size or round count refuses every use instead of
// running without a schedule.
TEST(CipherTest, UnusableKeysAndParametersFailWithUnlockException) {
    EXPECT_NE(UnlockReason([] { CDESAlgorithm(MakeKey<CDESkey>(Pattern(4)), 1, nullptr); }), kNoException);
    EXPECT_NE(UnlockReason([] { CTripleDESAlgorithm(MakeKey<CTripleDESkey>(Pattern(8)), 1, nullptr); }), kNoException);
    for (auto [octets, bits] : {std::pair<std::size_t, unsigned short>{0, 64}, {129, 64}, {8, 0}, {8, 1025}})
        EXPECT_NE(UnlockReason([octets = octets, bits = bits] { CRC2Algorithm(MakeKey<CRC2key>(Pattern(octets), bits), 1, nullptr); }),
                  kNoException);
    const Bytes data = Pattern(64);
    Bytes out(128);
    for (auto [rounds, blockSize] : {std::pair{12ul, 0ul}, {12ul, 3ul}, {12ul, 32ul}, {256ul, 8ul}, {~0ul, 8ul}}) {
        EXPECT_FALSE(CRC5PadAlgorithm::IsValidRounds(rounds) && CRC5PadAlgorithm::IsValidBlockSize(blockSize));
        CRC5PadAlgorithm rc5(MakeKey<CRC5key>(Pattern(5)), rounds, blockSize, 1, nullptr);
        const std::function<void()> uses[] = {[&] { rc5.EncryptFinal(data.data(), 32, out.data(), nullptr); },
                                              [&] { rc5.DecryptFinal(data.data(), 8, out.data(), nullptr); },
                                              [&] { rc5.EncryptBlock(data.data(), 32, out.data(), nullptr); },
                                              [&] { rc5.CountHints(32, 1); }, [&] { rc5.EncrFinalOutMaxSize(32); }};
        for (const auto& use : uses) EXPECT_NE(UnlockReason(use), kNoException) << rounds << " " << blockSize;
    }
}

}  // namespace
