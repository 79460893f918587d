// The RSA key structures against OpenSSL: its keys in their three DER forms read and written
// back octet for octet (every number read right); the structure checks and the failures of
// the conversions.
#include "peer.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/subjectpublickeyinfo.h"

namespace x509test {
namespace {

// A private key's numbers, as the structure writes them.
Octets Numbers(const CRSAPrivateKey& key) { return Encoded(CASN1_PrivateKey(key)); }

// The key in a structure of OpenSSL's DER: valid, read, and built again from the key octet for octet.
template <class Structure, class Key>
Key ReadBack(const std::string& keyFile, const char* form) {
    const Octets der = KeyDer(keyFile, form);
    Structure structure;
    Decode(structure, der);
    EXPECT_TRUE(Structure::isValid(&structure, 0)) << form;
    Key key;
    structure.SetDataTo(key);
    EXPECT_EQ(Encoded(Structure(key)), der) << form;
    return key;
}

TEST(KeyStructures, OpenSSLKeysReadAndWriteBackOctetForOctet) {
    for (auto [bits, exponent] : {std::pair{512, 3}, {1024, 65537}, {2048, 65537}, {2048, 3}, {3072, 65537}, {4096, 3}}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, e = " << exponent);
        const std::string file = KeyFile(bits, exponent);
        const auto key = ReadBack<CASN1_PrivateKey, CRSAPrivateKey>(file, "-traditional");
        EXPECT_EQ(key.bits, bits);
        for (const CRSAPublicKey& publicKey : {ReadBack<CASN1_PublicKey, CRSAPublicKey>(file, "-RSAPublicKey_out"),
                                               ReadBack<CASN1_SubjectPublicKeyInfo, CRSAPublicKey>(file, "-pubout")})
            EXPECT_TRUE(publicKey.bits == bits && publicKey == static_cast<const CRSAPublicKey&>(key));
    }
}

Octets Int(const Octets& contents) { return Tlv(0x02, contents); }
// An INTEGER of `octets` contents with a sign octet in front.
Octets Modulus(std::size_t octets) {
    Octets contents(octets, 0xC5);
    contents[0] = 0x00;
    return Int(contents);
}
const Octets kNull = FromHex("0500");
const Octets kRsaEncryption = FromHex("06092a864886f70d010101");
Octets Info(const Octets& parameters, const Octets& key, unsigned char unusedBits = 0) {
    return Seq({Seq({kRsaEncryption, parameters}), Tlv(0x03, Concat({{unusedBits}, key}))});
}
const Octets kSmallKey = Seq({Int(FromHex("00c5c5c5c5c5c5c5c5")), Int(FromHex("03"))});
// A private key of nine numbers with `replaced` at index `at`; `count` numbers in all.
Octets Private(std::size_t at = 0, const Octets& replaced = Int({0}), std::size_t count = 9) {
    std::vector<Octets> numbers = {Int({0}),  Modulus(257), Int({3}),  Int({5}), Int({7}),
                                   Int({11}), Int({13}),    Int({17}), Int({19})};
    numbers[at] = replaced;
    numbers.resize(count);
    return Seq(numbers);
}

template <class Structure>
int Valid(const Octets& der) {
    Structure value;
    Decode(value, der);
    return Structure::isValid(&value, 0);
}

struct SchemaRow {
    const char* name;
    int (*valid)(const Octets&);
    Octets der;
    int expected;
    friend void PrintTo(const SchemaRow& row, std::ostream* out) { *out << row.name; }
};
const SchemaRow kSchemaRows[] = {
    {"4,096-bit modulus with its sign octet", Valid<CASN1_PublicKey>, Seq({Modulus(513), Int({3})}), 1},
    {"514-octet modulus", Valid<CASN1_PublicKey>, Seq({Modulus(514), Int({3})}), 0},
    {"one number", Valid<CASN1_PublicKey>, Seq({Modulus(65)}), 0},
    {"three numbers", Valid<CASN1_PublicKey>, Seq({Modulus(65), Int({3}), Int({3})}), 0},
    {"exponent as OCTET STRING", Valid<CASN1_PublicKey>, Seq({Modulus(65), Tlv(0x04, {3})}), 0},
    {"private key of nine numbers", Valid<CASN1_PrivateKey>, Private(), 1},
    {"private key version 1", Valid<CASN1_PrivateKey>, Private(0, Int({1})), 0},
    {"prime of 258 octets", Valid<CASN1_PrivateKey>, Private(4, Modulus(258)), 0},
    {"eight numbers", Valid<CASN1_PrivateKey>, Private(0, Int({0}), 8), 0},
    {"identifier alone", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption}), 1},
    {"identifier and NULL", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption, kNull}), 1},
    {"two parameters", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption, kNull, kNull}), 0},
    {"INTEGER for identifier", Valid<CASN1_AlgorithmIdentifier>, Seq({Int({1}), kNull}), 0},
    {"key info", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, kSmallKey), 1},
    {"key bits with 4 unused bits", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, kSmallKey, 4), 0},
    {"key bits not DER", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, FromHex("30ff00")), 0},
    {"key bits of three numbers", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, Seq({Int({5}), Int({3}), Int({3})})),
     0},
    {"RSA key past 4,096 bits", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, Seq({Modulus(1025), Int({3})})), 1},
    {"elliptic curve key, not DER", Valid<CASN1_SubjectPublicKeyInfo>,
     Seq({Seq({FromHex("06072a8648ce3d0201"), FromHex("06082a8648ce3d030107")}), Tlv(0x03, FromHex("0004ffee"))}), 1},
    {"key info with a third component", Valid<CASN1_SubjectPublicKeyInfo>,
     Seq({Seq({kRsaEncryption}), Tlv(0x03, Concat({{0}, kSmallKey})), kNull}), 0},
};
using KeySchema = testing::TestWithParam<SchemaRow>;
TEST_P(KeySchema, ChecksFollowTheSchema) { EXPECT_EQ(GetParam().valid(GetParam().der), GetParam().expected); }
INSTANTIATE_TEST_SUITE_P(Shapes, KeySchema, testing::ValuesIn(kSchemaRows), RowName());

TEST(KeyStructures, AlgorithmParametersStateTheKeyLengthUpToTheFields) {
    const struct { const char* name; Octets parameters; int bits; } rows[] = {  // bits -1: refused
        {"NULL: the modulus length", kNull, 64},
        {"none: the modulus length", {}, 64},
        {"INTEGER 1024 whatever the modulus", Int(FromHex("0400")), 1024},
        {"INTEGER 4096", Int(FromHex("1000")), 4096},
        {"INTEGER 4097, past the key fields", Int(FromHex("1001")), -1},
        {"INTEGER 65536", Int(FromHex("010000")), -1},
        {"BOOLEAN", FromHex("0101ff"), -1},
    };
    for (const auto& row : rows) {
        CASN1_SubjectPublicKeyInfo info;
        Decode(info, Info(row.parameters, kSmallKey));
        CRSAPublicKey key;
        key.bits = 7;
        EXPECT_EQ(DecodingReason([&] { info.SetDataTo(key); }),
                  row.bits < 0 ? "SubjectPublicKeyInfo contents is not valid (invalid algorithm identifier parameter)"
                               : "")
            << row.name;
        EXPECT_EQ(key.bits, row.bits < 0 ? 7 : row.bits) << row.name;
        EXPECT_TRUE(row.bits < 0 || key.publicExponent[CRSAPublicKey::kFieldSize - 1] == 3) << row.name;
    }
}

TEST(KeyStructures, NumbersPastTheFieldsAreRefusedAndTheKeyKept) {
    const char* reasons[] = {"PribvateKey contents is not valid (invalid modulus)",
                             "PrivateKey contents is not valid (invalid public exponent)",
                             "PrivateKey contents is not valid (invalid private exponent)",
                             "PrivateKey contents is not valid (invalid p)",
                             "PrivateKey contents is not valid (invalid q)",
                             "PrivateKey contents is not valid (invalid d mod (p - 1))",
                             "PrivateKey contents is not valid (invalid d mod (q - 1))",
                             "PrivateKey contents is not valid (invalid (inverse of q) mod p)"};
    const CRSAPrivateKey original = PrivateKeyOf(KeyFile(512, 3));
    for (int oversized = 0; oversized < 8; ++oversized) {
        CASN1_PrivateKey structure(original);
        const Octets tooLong(oversized < 3 ? 513 : 257, 0x11);
        dynamic_cast<CASN1_INTEGER&>(*structure.GetComponents()[1 + oversized]) =
            CASN1_INTEGER(tooLong.data(), static_cast<unsigned short>(tooLong.size()));
        CRSAPrivateKey key = original;
        EXPECT_EQ(DecodingReason([&] { structure.SetDataTo(key); }), reasons[oversized]);
        EXPECT_EQ(Numbers(key), Numbers(original)) << reasons[oversized];
    }
    CASN1_PublicKey structure(original);
    dynamic_cast<CASN1_INTEGER&>(*structure.GetComponents()[1]) = CASN1_INTEGER(Octets(513, 1).data(), 513);
    CRSAPublicKey key;
    EXPECT_EQ(DecodingReason([&] { structure.SetDataTo(key); }),
              "PublicKey contents is not valid (invalid public exponent)");
    EXPECT_EQ(key.bits, 0);
}

}  // namespace
}  // namespace x509test
