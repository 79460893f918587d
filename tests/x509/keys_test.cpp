// The RSA key structures against OpenSSL: its keys read field by field as libcrypto
// sees them and written back octet for octet; the structure checks and the failures
// of the conversions.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <array>
#include <span>

#include "peer.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/subjectpublickeyinfo.h"

namespace x509test {
namespace {

// libcrypto's numbers of the key file, each big-endian in the width of our field.
std::array<Octets, 8> PeerNumbers(const std::string& keyFile) {
    const char* names[] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,         OSSL_PKEY_PARAM_RSA_D,
                           OSSL_PKEY_PARAM_RSA_FACTOR1,   OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                           OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(keyFile.c_str(), "r"), fclose);
    std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr),
                                                        EVP_PKEY_free);
    std::array<Octets, 8> numbers;
    for (int i = 0; i < 8; ++i) {
        BIGNUM* bn = nullptr;
        EVP_PKEY_get_bn_param(key.get(), names[i], &bn);
        numbers[i].resize(i < 3 ? 256 : 128);
        BN_bn2binpad(bn, numbers[i].data(), static_cast<int>(numbers[i].size()));
        BN_free(bn);
    }
    return numbers;
}

std::array<Octets, 8> OurNumbers(const CRSAPrivateKey& k) {
    std::array<std::span<const BYTE>, 8> fields = {k.modulus, k.publicExponent, k.privateExponent, k.prime1,
                                                   k.prime2,  k.exponent1,      k.exponent2,       k.coefficient};
    std::array<Octets, 8> numbers;
    for (int i = 0; i < 8; ++i) numbers[i].assign(fields[i].begin(), fields[i].end());
    return numbers;
}

Octets PublicPart(const CRSAPublicKey& key) {
    return Concat({Octets(std::begin(key.modulus), std::end(key.modulus)),
                   Octets(std::begin(key.publicExponent), std::end(key.publicExponent))});
}

// The key in a structure of OpenSSL's DER: valid, read, and built again from the key
// octet for octet.
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

TEST(KeyStructures, OpenSSLKeysReadAsLibcryptoSeesThemAndWriteBackOctetForOctet) {
    for (auto [bits, exponent] : {std::pair{512, 3}, {1024, 65537}, {2048, 65537}, {2048, 3}}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, e = " << exponent);
        const std::string file = KeyFile(bits, exponent);
        const auto key = ReadBack<CASN1_PrivateKey, CRSAPrivateKey>(file, "-traditional");
        EXPECT_EQ(OurNumbers(key), PeerNumbers(file));
        for (const CRSAPublicKey& publicKey : {ReadBack<CASN1_PublicKey, CRSAPublicKey>(file, "-RSAPublicKey_out"),
                                               ReadBack<CASN1_SubjectPublicKeyInfo, CRSAPublicKey>(file, "-pubout"),
                                               static_cast<const CRSAPublicKey&>(key)}) {
            EXPECT_EQ(publicKey.bits, bits);
            EXPECT_EQ(PublicPart(publicKey), PublicPart(key));
        }
    }
}

// DER pieces of hand-made structures.
Octets Int(const Octets& contents) { return Tlv(0x02, contents); }
Octets Modulus(std::size_t octets) {
    Octets contents(octets, 0xC5);
    contents[0] = 0x00;  // the sign octet in front of 2,048 bits
    return Int(contents);
}
const Octets kNull = FromHex("0500");
const Octets kRsaEncryption = FromHex("06092a864886f70d010101");
Octets Info(const Octets& parameters, const Octets& key, unsigned char unusedBits = 0) {
    return Seq({Seq({kRsaEncryption, parameters}), Tlv(0x03, Concat({{unusedBits}, key}))});
}
const Octets kSmallKey = Seq({Int(FromHex("00c5c5c5c5c5c5c5c5")), Int(FromHex("03"))});

template <class Structure>
int Valid(const Octets& der) {
    Structure value;
    Decode(value, der);
    return Structure::isValid(&value, 0);
}

TEST(KeyStructures, ChecksFollowTheSchema) {
    const Octets nineNumbers = Seq({Int({0}), Modulus(257), Int({3}), Int({5}), Int({7}), Int({11}), Int({13}),
                                    Int({17}), Int({19})});
    const struct {
        const char* name;
        int (*valid)(const Octets&);
        Octets der;
        int expected;
    } rows[] = {
        {"2,048-bit modulus with its sign octet", Valid<CASN1_PublicKey>, Seq({Modulus(257), Int({3})}), 1},
        {"258-octet modulus", Valid<CASN1_PublicKey>, Seq({Modulus(258), Int({3})}), 0},
        {"one number", Valid<CASN1_PublicKey>, Seq({Modulus(65)}), 0},
        {"three numbers", Valid<CASN1_PublicKey>, Seq({Modulus(65), Int({3}), Int({3})}), 0},
        {"exponent as OCTET STRING", Valid<CASN1_PublicKey>, Seq({Modulus(65), Tlv(0x04, {3})}), 0},
        {"private key of nine numbers", Valid<CASN1_PrivateKey>, nineNumbers, 1},
        {"private key version 1", Valid<CASN1_PrivateKey>,
         Seq({Int({1}), Modulus(257), Int({3}), Int({5}), Int({7}), Int({11}), Int({13}), Int({17}), Int({19})}), 0},
        {"prime of 130 octets", Valid<CASN1_PrivateKey>,
         Seq({Int({0}), Modulus(257), Int({3}), Int({5}), Modulus(130), Int({11}), Int({13}), Int({17}), Int({19})}),
         0},
        {"eight numbers", Valid<CASN1_PrivateKey>,
         Seq({Int({0}), Modulus(257), Int({3}), Int({5}), Int({7}), Int({11}), Int({13}), Int({17})}), 0},
        {"identifier alone", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption}), 1},
        {"identifier and NULL", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption, kNull}), 1},
        {"two parameters", Valid<CASN1_AlgorithmIdentifier>, Seq({kRsaEncryption, kNull, kNull}), 0},
        {"INTEGER for identifier", Valid<CASN1_AlgorithmIdentifier>, Seq({Int({1}), kNull}), 0},
        {"key info", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, kSmallKey), 1},
        {"key bits with 4 unused bits", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, kSmallKey, 4), 0},
        {"key bits not DER", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, FromHex("30ff00")), 0},
        {"key bits of three numbers", Valid<CASN1_SubjectPublicKeyInfo>,
         Info(kNull, Seq({Int({5}), Int({3}), Int({3})})), 0},
        {"RSA key past 2,048 bits", Valid<CASN1_SubjectPublicKeyInfo>, Info(kNull, Seq({Modulus(513), Int({3})})), 1},
        {"elliptic curve key, not DER", Valid<CASN1_SubjectPublicKeyInfo>,
         Seq({Seq({FromHex("06072a8648ce3d0201"), FromHex("06082a8648ce3d030107")}), Tlv(0x03, FromHex("0004ffee"))}),
         1},
        {"key info with a third component", Valid<CASN1_SubjectPublicKeyInfo>,
         Tlv(0x30, Concat({Seq({kRsaEncryption}), Tlv(0x03, Concat({{0}, kSmallKey})), kNull})), 0},
    };
    for (const auto& row : rows) EXPECT_EQ(row.valid(row.der), row.expected) << row.name;
}

TEST(KeyStructures, AlgorithmParametersStateTheKeyLength) {
    const struct {
        const char* name;
        Octets parameters;
        int bits;  // -1: refused
    } rows[] = {
        {"NULL: the modulus length", kNull, 64},
        {"none: the modulus length", {}, 64},
        {"INTEGER 1024 whatever the modulus", Int(FromHex("0400")), 1024},
        {"INTEGER 2048", Int(FromHex("0800")), 2048},
        {"INTEGER 2049, past the key fields", Int(FromHex("0801")), -1},
        {"INTEGER 65536", Int(FromHex("010000")), -1},
        {"BOOLEAN", FromHex("0101ff"), -1},
    };
    for (const auto& row : rows) {
        CASN1_SubjectPublicKeyInfo info;
        Decode(info, Info(row.parameters, kSmallKey));
        CRSAPublicKey key;
        key.bits = 7;
        const std::string reason = DecodingReason([&] { info.SetDataTo(key); });
        if (row.bits < 0) {
            EXPECT_EQ(reason, "SubjectPublicKeyInfo contents is not valid (invalid algorithm identifier parameter)")
                << row.name;
            EXPECT_EQ(key.bits, 7) << row.name;
        } else {
            EXPECT_EQ(reason, "") << row.name;
            EXPECT_EQ(key.bits, row.bits) << row.name;
            EXPECT_EQ(key.publicExponent[255], 3) << row.name;
        }
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
        auto& number = dynamic_cast<CASN1_INTEGER&>(*structure.GetComponents()[1 + oversized]);
        const Octets tooLong(oversized < 3 ? 257 : 129, 0x11);
        number = CASN1_INTEGER(tooLong.data(), static_cast<unsigned short>(tooLong.size()));
        CRSAPrivateKey key = original;
        EXPECT_EQ(DecodingReason([&] { structure.SetDataTo(key); }), reasons[oversized]);
        EXPECT_EQ(OurNumbers(key), OurNumbers(original)) << reasons[oversized];
    }
    CASN1_PublicKey structure(original);
    dynamic_cast<CASN1_INTEGER&>(*structure.GetComponents()[1]) = CASN1_INTEGER(Octets(257, 1).data(), 257);
    CRSAPublicKey key;
    EXPECT_EQ(DecodingReason([&] { structure.SetDataTo(key); }),
              "PublicKey contents is not valid (invalid public exponent)");
    EXPECT_EQ(key.bits, 0);
}

}  // namespace
}  // namespace x509test
