// CCertificate and its structures on their own, and with OpenSSL both ways: certificates of
// `openssl req -x509` and `openssl x509 -req` read field by field as libcrypto reads them;
// certificates signed here pass `openssl verify` and print as written.
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "peer.h"
#include "tests/common/exceptions.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/subjectpublickeyinfo.h"
#include "vorlan/x509/validity.h"

namespace x509test {
namespace {

Octets Validity(const std::string& notAfter = "480305140709Z", unsigned char tag = 0x17) {
    return Seq({Text(0x17, "980305140709Z"), Text(tag, notAfter)});
}
// A 512-bit key of exponent 3, the key of nothing.
const Octets kSmallKey = Seq({Tlv(0x02, Concat({{0}, Octets(64, 0xC5)})), Tlv(0x02, {3})});
// The P-256 generator, uncompressed: a point on the curve.
const Octets kP256Point = FromHex(
    "046b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c2964fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
Octets KeyInfo(const Octets& key = kSmallKey, unsigned char unused = 0,
               const Octets& algorithm = Seq({FromHex("06092a864886f70d010101"), FromHex("0500")})) {
    return Seq({algorithm, Tlv(0x03, Concat({{unused}, key}))});
}
// tbsCertificate of version 1 with `replacement` for the component at `at`, `front` before
// the serial number and `back` after the key.
std::vector<Octets> Fields(int at = -1, const Octets& replacement = {}, const std::vector<Octets>& front = {},
                           const std::vector<Octets>& back = {}) {
    std::vector<Octets> fields = {Tlv(0x02, {5}), kSha1WithRSA, Name("CA"), Validity(), Name("Leaf"), KeyInfo()};
    if (at >= 0) fields[static_cast<std::size_t>(at)] = replacement;
    fields.insert(fields.begin(), front.begin(), front.end());
    fields.insert(fields.end(), back.begin(), back.end());
    return fields;
}
// The same with the explicit version `v` (0 for version 1) in front.
std::vector<Octets> Versioned(unsigned char v, const std::vector<Octets>& back = {}) {
    return Fields(-1, {}, {Tlv(0xA0, Tlv(0x02, {v}))}, back);
}
Octets Certificate(const std::vector<Octets>& tbs, const Octets& signature = kSignature, const Octets& more = {}) {
    return Seq({Seq(tbs), kSha1WithRSA, signature, more});
}

CCertificate Sample(const CRSAPublicKey& key, const char* subject = "Leaf") {
    CCertificate certificate;
    const BYTE serial[] = {0x0A, 0xFF};
    certificate.m_bVersion = 2, certificate.m_serialNumber = CSerialNumber(serial, 2);
    certificate.m_issuer = NameOf("CA"), certificate.m_subject = NameOf(subject);
    certificate.m_notBefore = CString("980305140709Z"), certificate.m_notAfter = CString("480305140709Z");
    certificate.GetDataFrom(key);
    return certificate;
}
// The certificate equal, with the same signature and digests cached.
bool Same(const CCertificate& a, const CCertificate& b) { return a == b && SignedState(a) == SignedState(b); }
// A version 3 certificate of `openssl req -x509` with a critical basic constraint.
CCertificate Peer(const std::string& digest, const std::string& cn) {
    return ReadCertificate(PeerCertificate(KeyFile(512, 3), "CN=" + cn + "\n", "-" + digest, "utf8only",
                                           "basicConstraints=critical,CA:TRUE\nsubjectKeyIdentifier=hash\n"));
}

// A reason from "." or ":" on follows "Certificate contents is not valid (Certificate": the
// shape's; another is the conversion's, which then changes nothing; empty: both pass.
const ShapeRow kShapes[] = {
    {"version 1, six components", Certificate(Fields()), ""},
    {"version 1 with issuerUniqueID", Certificate(Fields(-1, {}, {}, {FromHex("810200ff")})),
     ".tbsCertificate: unexpected component 0x81 after the last field)"},
    {"version 2, both unique identifiers", Certificate(Versioned(1, {FromHex("810200ff"), FromHex("820100")})), ""},
    {"version 2 with extensions", Certificate(Versioned(1, {FromHex("a3023000")})),
     ".tbsCertificate: unexpected component 0x83 after the last field)"},
    {"version 3 with extensions", Certificate(Versioned(2, {FromHex("a3023000")})), ""},
    {"version number 3", Certificate(Versioned(3)), ".tbsCertificate.version is not valid)"},
    {"unique identifier of 8 unused bits", Certificate(Versioned(1, {FromHex("81020800")})),
     ".tbsCertificate.issuerUniqueID is not valid)"},
    {"notAfter as GeneralizedTime", Certificate(Fields(3, Validity("20480305140709Z", 0x18))), ""},
    {"notAfter as OCTET STRING", Certificate(Fields(3, Validity("x", 0x04))),
     ".tbsCertificate.validity.notAfter: identifier 0x17 expected, 0x04 found)"},
    {"key of 4 unused bits", Certificate(Fields(5, KeyInfo(kSmallKey, 4))),
     ".tbsCertificate.subjectPublicKeyInfo.subjectPublicKey is not valid)"},
    {"signature of 4 unused bits (kept, never verifies)", Certificate(Fields(), FromHex("030204f0")), ""},
    {"a fourth component", Certificate(Fields(), kSignature, FromHex("0500")),
     ": unexpected component 0x05 after the last field)"},
    {"SHA-224", Certificate(Fields(1, kSha224WithRSA)),
     "CASN1_CertificateData::SetDataTo - unknown signature algorithm"},
    {"month 13", Certificate(Fields(3, Validity("481305140709Z"))),
     "CASN1_UTCTime::SetDataTo - invalid contents (notAfter)"},
    {"fraction of a second", Certificate(Fields(3, Validity("20500305140709.5Z", 0x18))),
     "CASN1_GeneralizedTime::SetDataTo - invalid contents (notAfter)"},
    {"4,111-bit key", Certificate(Fields(5, KeyInfo(Seq({Tlv(0x02, Octets(514, 0x7F)), Tlv(0x02, {3})})))),
     "SubjectPublicKeyInfo contents is not valid (RSA key longer than 4096 bits)"},
    {"EC key",
     Certificate(Fields(5, KeyInfo(Concat({{4}, Octets(64, 0x31)}), 0,
                                   Seq({FromHex("06072a8648ce3d0201"), FromHex("06082a8648ce3d030107")})))),
     "SubjectPublicKeyInfo contents is not valid (CECPublicKey - the point is not on the curve)"},
    {"EC key of explicit parameters",
     Certificate(Fields(5, KeyInfo(kP256Point, 0, Seq({FromHex("06072a8648ce3d0201"), Seq({Tlv(0x02, {1})})})))),
     "SubjectPublicKeyInfo contents is not valid (EC parameters other than a named curve are not supported)"},
    {"EC key without parameters", Certificate(Fields(5, KeyInfo(kP256Point, 0, Seq({FromHex("06072a8648ce3d0201")})))),
     "SubjectPublicKeyInfo contents is not valid (EC parameters other than a named curve are not supported)"},
    {"EC key on secp521r1",
     Certificate(Fields(5, KeyInfo(kP256Point, 0, Seq({FromHex("06072a8648ce3d0201"), FromHex("06052b81040023")})))),
     "SubjectPublicKeyInfo contents is not valid (curve 1.3.132.0.35 is not supported)"},
    {"EC key on secp256k1",
     Certificate(Fields(5, KeyInfo(kP256Point, 0, Seq({FromHex("06072a8648ce3d0201"), FromHex("06052b8104000a")})))),
     "SubjectPublicKeyInfo contents is not valid (curve 1.3.132.0.10 is not supported)"},
    {"EC key of a P-256 point on P-384",
     Certificate(Fields(5, KeyInfo(kP256Point, 0, Seq({FromHex("06072a8648ce3d0201"), FromHex("06052b81040022")})))),
     "SubjectPublicKeyInfo contents is not valid (CECPublicKey - the point's length does not match the curve)"},
    {"key length 65,536",
     Certificate(Fields(5, KeyInfo(kSmallKey, 0, Seq({FromHex("06092a864886f70d010101"), FromHex("0203010000")})))),
     "SubjectPublicKeyInfo contents is not valid (invalid algorithm identifier parameter)"},
    {"4,104-bit signature", Certificate(Fields(), Tlv(0x03, Octets(514, 0))), "Invalid Certificate's signature"},
    {"signed with SHA-256, said SHA-1 outside",
     Certificate(Fields(1, Seq({FromHex("06092a864886f70d01010b"), FromHex("0500")}))),
     "Certificate contents is not valid (signatureAlgorithm differs from the signature algorithm of the signed part)"},
    {"NULL parameters outside, none inside", Certificate(Fields(1, Seq({FromHex("06092a864886f70d010105")}))),
     "Certificate contents is not valid (signatureAlgorithm differs from the signature algorithm of the signed part)"},
};

using CertificateStructure = testing::TestWithParam<ShapeRow>;
TEST_P(CertificateStructure, ShapesFollowTheVersionAndShapesAndConversionsNameTheFailingField) {
    const ShapeRow& row = GetParam();
    const bool shape = row.reason.find_first_of(".:") == 0;
    CDEREncoding der(0, const_cast<unsigned char*>(row.der.data()), row.der.size(), 0, 1);
    der.AddRef();
    EXPECT_EQ(DecodingReason([&] { CASN1_Certificate decoded(der); }),
              shape ? "Certificate contents is not valid (Certificate" + row.reason : "");
    CASN1_SEQUENCE plain;
    Decode(plain, row.der);
    EXPECT_TRUE(der.Remaining() == 0u && CASN1_Certificate::isValid(&plain, 0) == !shape);
    const CCertificate original = ReadCertificate(Certificate(Fields(0, Tlv(0x02, {9}))));
    CCertificate target = original;
    const auto convert = [&] { DecodeCertificate(row.der).SetDataTo(target); };
    EXPECT_EQ(shape ? row.reason : DecodingReason(convert), row.reason);
    EXPECT_TRUE(row.reason.empty() || (Same(target, original) && EncodingOf(target) == EncodingOf(original)));
}
INSTANTIATE_TEST_SUITE_P(Shapes, CertificateStructure, testing::ValuesIn(kShapes), RowName());

TEST(CertificateSignature, ShortSignatureForgedForAnExponentThreeIssuerIsRefused) {
    // 00 01, `pads` octets FF, 00, DigestInfo, SHA-1(tbs): four as in the attack on a check of the
    // signature's own length, eight as a block parser requires.
    for (const auto& [issuerBits, pads] : {std::pair{2048, 4}, {2048, 8}, {4096, 4}, {4096, 8}}) {
        SCOPED_TRACE(testing::Message() << issuerBits << " bits, " << pads << " pads");
        const CRSAPrivateKey issuer = PrivateKeyOf(KeyFile(issuerBits, 3));
        CCertificate forged = Sample(PrivateKeyOf(KeyFile(512, 3)));
        Octets block;
        for (BYTE serial = 1; !(block.size() && (block.back() & 1)); ++serial) {  // odd blocks have a cube root
            forged.m_serialNumber = CSerialNumber(&serial, 1);
            block = Concat({{0x00, 0x01}, Octets(pads, 0xFF), FromHex("00 3021300906052b0e03021a05000414"),
                            Sha1(Encoded(CASN1_CertificateData(forged)))});
        }
        PlaceForgery(forged, block, issuer);
        EXPECT_EQ(forged.IsSignatureOKFor(issuer) + ReadCertificate(EncodingOf(forged)).IsSignatureOKFor(issuer), 0);
        CCertificate genuine = forged;
        genuine.SignWith(issuer);
        EXPECT_EQ(ReadCertificate(EncodingOf(genuine)).IsSignatureOKFor(issuer), 1);
        for (int bits : {issuerBits - 8, issuerBits + 8, 65535}) {  // stored bit counts shorter or longer than the modulus
            genuine.m_wSignatureBits = static_cast<WORD>(bits);
            EXPECT_EQ(genuine.IsSignatureOKFor(issuer), 0) << bits;
        }
    }
}

TEST(CertificateSignature, ReadingAnotherCertificateReplacesTheCachedDigests) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    CCertificate target = Peer("sha1", "First");
    ASSERT_TRUE(target.m_bHasDigestSha1);
    DecodeCertificate(EncodingOf(Peer("md5", "Second"))).SetDataTo(target);
    EXPECT_TRUE(target.m_bHasDigest16 && !target.m_bHasDigestSha1);
    target.SignWith(key);  // signs the second certificate, not the first one's digest
    const CCertificate signedAgain = ReadCertificate(EncodingOf(target));
    EXPECT_TRUE(signedAgain.m_subject.GetOneLine() == "CN=Second" && signedAgain.IsSignatureOKFor(key) == 1);
    CCertificate copy;
    copy = target;
    EXPECT_TRUE(Same(copy, target));
    EXPECT_TRUE(!(copy = CCertificate()).m_bHasDigest16 && !copy.m_bHasDigestSha1);
    // A field changed after reading is what is signed, not the digest cached of the fields as read.
    target.m_subject = NameOf("Changed");
    target.SignWith(key);
    const CCertificate changed = ReadCertificate(EncodingOf(target));
    EXPECT_TRUE(changed.m_subject.GetOneLine() == "CN=Changed" && changed.IsSignatureOKFor(key) == 1);
}

TEST(CertificateSignature, ChangedFieldsAreNeverTakenAsSigned) {
    // Signed by OpenSSL: the cached digest and the octets received count only while the fields are those read.
    const CRSAPublicKey issuer = PrivateKeyOf(KeyFile(512, 3));
    const Octets der = PeerCertificate(KeyFile(512, 3), "CN=Signed\n", "-sha1 -set_serial 7", "utf8only",
                                       "basicConstraints=critical,CA:TRUE\n");
    using C = CCertificate;
    const std::pair<const char*, std::function<void(C&)>> changes[] = {
        {"subject", [](C& c) { c.m_subject = NameOf("Forged"); }},
        {"issuer", [](C& c) { c.m_issuer = NameOf("Forged"); }},
        {"serial", [](C& c) { c.m_serialNumber.SetAt(0, 8); }},
        {"serial sign", [](C& c) { c.m_serialNumber.m_bNegative = 1; }},
        {"version", [](C& c) { c.m_bVersion = 0, c.m_extensions.RemoveAll(); }},  // version 1 has none
        {"extension flag", [](C& c) { c.m_extensions[0].m_bCritical = 0; }},
        {"extension value", [](C& c) { c.m_extensions[0].m_abValue.SetAt(4, 0); }},
        {"extension added", [](C& c) { c.m_extensions.Add(KeyUsageExtension(kKeyCertSign)); }},
        {"notBefore", [](C& c) { --c.m_notBefore; }},
        {"notAfter", [](C& c) { --c.m_notAfter; }},
        {"modulus", [](C& c) { c.m_modulus[CCertificate::kFieldSize - 1] ^= 2; }},
        {"publicExponent", [](C& c) { c.m_publicExponent[CCertificate::kFieldSize - 1] ^= 2; }},
        {"algorithm", [](C& c) { c.m_nSignatureAlgorithm = 3; }},
        // The name's attribute changed where it is, not replaced.
        {"subject value", [](C& c) { c.m_subject[0]->m_attributes[0]->m_strValue = "Forged"; }},
        {"subject string type", [](C& c) { c.m_subject[0]->m_attributes[0]->m_nStringType = kASN1PrintableString; }},
        {"subject label", [](C& c) { c.m_subject[0]->m_attributes[0]->m_strLabel = "Organization name"; }},
    };
    for (const auto& [name, change] : changes) {
        C certificate = ReadCertificate(der);
        ASSERT_EQ(certificate.IsSignatureOKFor(issuer), 1);
        change(certificate);
        C loaded;
        EXPECT_EQ(LoadInto(loaded, Stored(certificate)), kNothingThrown) << name;
        EXPECT_EQ(certificate.IsSignatureOKFor(issuer) + loaded.IsSignatureOKFor(issuer), 0) << name;
        EXPECT_TRUE(EncodingOf(certificate) != der && ReadCertificate(EncodingOf(certificate)) == certificate) << name;
    }

    // The decoded value keeps the octets it was received as, and its digest is theirs; a
    // component changed since gives other fields, which are not those octets' fields.
    CASN1_Certificate value = DecodeCertificate(der);
    auto& serial = dynamic_cast<CASN1_INTEGER&>(dynamic_cast<CASN1_CONSTRUCTED_TYPE&>(value.GetComponent(0)).GetComponent(1));
    ASSERT_TRUE(serial.GetSize() == 1 && serial[0] == 7);
    serial.SetAt(0, 8);
    CCertificate certificate;
    value.SetDataTo(certificate);
    const BYTE eight = 8;
    EXPECT_TRUE(certificate.m_serialNumber == CSerialNumber(&eight, 1));
    EXPECT_EQ(certificate.IsSignatureOKFor(issuer), 0);
    EXPECT_NE(EncodingOf(certificate), der);
}

TEST(CertificateSignature, SigningUsesTheWholeModulusAndRefusesLongKeysAndUnknownAlgorithms) {
    CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    CCertificate certificate = Sample(key);
    certificate.m_nSignatureAlgorithm = 1;
    certificate.SignWith(key);
    EXPECT_TRUE(certificate.m_nSignatureAlgorithm == 2 && certificate.m_wSignatureBits == 512);
    EXPECT_EQ(Octets(certificate.m_signature, certificate.m_signature + 448), Octets(448, 0));
    EXPECT_EQ(certificate.IsSignatureOKFor(key), 1);
    EXPECT_EQ(certificate.IsSignatureOKFor(PrivateKeyOf(KeyFile(1024, 3))), 0);
    // SHA-384's and SHA-512's DigestInfo need more than 512 bits.
    const CRSAPrivateKey longer = PrivateKeyOf(KeyFile(1024, 3));
    for (int algorithm : {5, 4, 3, 2}) {
        const CRSAPrivateKey& signer = algorithm > 3 ? longer : key;
        certificate.SignWith(signer, algorithm);
        EXPECT_TRUE(certificate.m_nSignatureAlgorithm == algorithm &&
                    ReadCertificate(EncodingOf(certificate)).IsSignatureOKFor(signer) == 1) << algorithm;
    }
    // Each signed part names its algorithm: the digest of the one signed before is of another signed part.
    EXPECT_TRUE(certificate.m_bHasDigestSha1 && !certificate.m_bHasDigestSha256 && !certificate.m_bHasDigestLong);
    const CCertificate before = certificate;
    EXPECT_NE(MessageOf<CNotSupportedException>([&] { certificate.SignWith(key, 1); }), kNoException);
    key.bits = 4097;
    EXPECT_EQ(MessageOf<CUnlockException>([&] { certificate.SignWith(key); }),
              "CCertificate::SignWith fails - key.RsaOutputSize() = 513");
    EXPECT_TRUE(Same(certificate, before));
}

TEST(CertificateSignature, SignedPartIsDigestedAsReceivedAsOpenSSLDoes) {
    // The subject's length in a non-minimal form: OpenSSL verifies the octets it received.
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const Octets name = Name("Leaf");
    std::vector<Octets> fields = Versioned(2);
    fields[5] = Concat({{0x30, 0x81}, Octets(name.begin() + 1, name.end())});
    fields[6] = KeyInfo(Encoded(CASN1_PublicKey(key)));  // self-signed
    CByteArray signature;
    key.LockDigest(sha1, Sha1(Seq(fields)).data(), signature);
    const Octets der = Certificate(fields, Tlv(0x03, Concat({{0}, OctetsOf(signature)})));

    const X509Ptr peer = Parse(der);
    EXPECT_EQ(X509_verify(peer.get(), X509_get0_pubkey(peer.get())), 1);
    const CCertificate ours = ReadCertificate(der);
    EXPECT_TRUE(ours.IsSignatureOKFor(key) == 1 && EncodingOf(ours) == der && EncodingOf(CCertificate(ours)) == der);
    // The fields still those received, though they write other octets; archived, the digest goes along.
    CCertificate loaded, changed = ours;
    changed.m_subject = NameOf("Leaf");
    changed.m_subject[0]->m_attributes[0]->m_nStringType = kASN1UTF8String;
    EXPECT_TRUE(LoadInto(loaded, Stored(ours)) == kNothingThrown && loaded.IsSignatureOKFor(key) == 1);
    EXPECT_TRUE(changed.IsSignatureOKFor(key) == 0 && EncodingOf(changed) != der);
}

TEST(CertificateArchive, FormsTwoOneAndZeroLoadAndOutOfRangeFieldsAreRefused) {
    CCertificate original = Peer("md5", "Archived"), loaded;  // the MD5 digest of the signed part as read
    const auto stored = Stored(original);
    EXPECT_TRUE(LoadInto(loaded, stored) == kNothingThrown && Same(loaded, original));
    // A cached SHA-256 digest makes it format 2, which carries that digest too (the high bit:
    // extensions follow the subject).
    CCertificate sha256 = original;
    sha256.SignWith(PrivateKeyOf(KeyFile(512, 3)), 3);
    EXPECT_TRUE(Stored(sha256)[0] == (0x80 | 2) && LoadInto(loaded, Stored(sha256)) == kNothingThrown);
    EXPECT_TRUE(Same(loaded, sha256) && loaded.m_bHasDigestSha256);
    // Format 0 has no SHA-1 flag: the 16-bit flag after the MD5 digest goes.
    constexpr std::size_t kFlags = 8 + 3 * 256, kSha1Flag = kFlags + 2 + 16;
    auto format0 = stored;
    format0[0] = 0x80;
    format0.erase(format0.begin() + kSha1Flag, format0.begin() + kSha1Flag + 2);
    EXPECT_EQ(LoadInto(loaded, format0), kNothingThrown);
    EXPECT_TRUE(loaded == original && loaded.m_bHasDigest16 && !loaded.m_bHasDigestSha1);
    // Format 4, algorithm 9, a key of 2,049 bits in narrow fields, a signature of 65,535 bits, a
    // serial count past the end.
    const std::pair<std::size_t, std::vector<BYTE>> refused[] = {
        {0, {4}}, {2, {9, 0}}, {4, {0x01, 0x08}}, {6, {0xFF, 0xFF}}, {kSha1Flag + 2, {0xFF, 0xFF}}};
    for (const auto& [at, octets] : refused) {
        auto patched = stored;
        std::copy(octets.begin(), octets.end(), patched.begin() + static_cast<long>(at));
        CCertificate target = original;
        EXPECT_TRUE(LoadInto(target, patched) != kNothingThrown && Same(target, original)) << at;
    }

    CCertificate sha1 = original;
    sha1.SignWith(PrivateKeyOf(KeyFile(512, 3)));
    CArray<CCertificate, const CCertificate&> array, back;
    array.Add(original), array.Add(sha256), array.Add(sha1);
    EXPECT_TRUE(LoadInto(back, Stored(array)) == kNothingThrown && back.GetSize() == 3 && Same(back[1], sha256));
    EXPECT_TRUE(Same(back[2], sha1) && back[2].m_bHasDigestSha1);
}

TEST(CertificateBuilders, FieldsThatCannotBeWrittenAreRefusedNotWritten) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const std::pair<const char*, std::function<void(CCertificate&)>> rows[] = {
        {"algorithm 9", [](CCertificate& c) { c.m_nSignatureAlgorithm = 9; }},
        {"version 4", [](CCertificate& c) { c.m_bVersion = 3; }},
        {"signature of 4,104 bits", [](CCertificate& c) { c.m_wSignatureBits = 4104; }},
        {"extensions in version 2", [](CCertificate& c) { c.m_bVersion = 1, c.m_extensions.Add(KeyUsageExtension(kCRLSign)); }},
        {"extension identifier not dotted", [](CCertificate& c) {
             c.m_extensions.Add(KeyUsageExtension(kCRLSign));
             c.m_extensions[0].m_strIdentifier = "2.5.x";
         }},
    };
    for (const auto& [name, spoil] : rows) {
        CCertificate certificate = Sample(key);
        certificate.SignWith(key);
        spoil(certificate);
        EXPECT_NE(DecodingReason([&] { CASN1_Certificate structure(certificate); }), "") << name;
        EXPECT_NE(DecodingReason([&] { EncodingOf(certificate); }), "") << name;
        certificate.m_bHasDigestSha1 = 0;
        EXPECT_EQ(certificate.IsSignatureOKFor(key), 0) << name;
        EXPECT_TRUE(certificate.m_nSignatureAlgorithm != 9 ||
                    CString(certificate).Find("Signature Algorithm: <<< BAD!!! >>>\r\n") != -1);
    }
}

TEST(CertificateObject, TextFormListsTheFieldsAndTheKeyInLinesOfSixtyDigits) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(1024, 65537));
    const std::string modulus = ToHex(key.modulus + CRSAPublicKey::kFieldSize - 128, 128);
    std::string lines;
    for (std::size_t at = 0; at < modulus.size(); at += 60)
        lines += (at ? "\r\n      " : "      ") + modulus.substr(at, 60);
    for (char& c : lines) c = static_cast<char>(std::toupper(c));
    EXPECT_EQ(CString(Sample(key)).str(),
              "Syntax Version: 2\r\nSerial Number: 0AFF\r\nSignature Algorithm: SHA1 With RSA Encryption\r\n"
              "Issuer:\r\nCommon name: CA\r\nValid not before: 5 March, 1998, 14:07 09 sec GMT\r\n"
              "Valid not after: 5 March, 2048, 14:07 09 sec GMT\r\nOwner:\r\nCommon name: Leaf\r\n"
              "Public Key:\r\n   Modulus Length:\r\n      1024 bits\r\n   Modulus:\r\n" +
                  lines + "\r\n   Public Exponent:\r\n      010001");
}

TEST(CertificateObject, EqualityCoversEveryFieldButTheDigestsAndIssuerTestsNeedAValidIssuer) {
    const CCertificate base = Sample(PrivateKeyOf(KeyFile(512, 3)));
    using C = CCertificate;
    const std::function<C(C)> changes[] = {
        [](C c) { c.m_bVersion = 1; return c; },          [](C c) { c.m_serialNumber.SetAt(1, 0); return c; },
        [](C c) { c.m_nSignatureAlgorithm = 1; return c; }, [](C c) { c.m_issuer = NameOf("X"); return c; },
        [](C c) { --c.m_notBefore; return c; },           [](C c) { --c.m_notAfter; return c; },
        [](C c) { c.m_subject = NameOf("X"); return c; },   [](C c) { c.m_wKeyBits = 1; return c; },
        [](C c) { c.m_publicExponent[0] = 1; return c; },  [](C c) { c.m_modulus[0] = 1; return c; },
        [](C c) { c.m_signature[0] = 1; return c; },       [](C c) { c.m_wSignatureBits = 8; return c; },
        [](C c) { c.m_extensions.Add(KeyUsageExtension(kCRLSign)); return c; },
    };
    for (const auto& change : changes) EXPECT_FALSE(change(base) == base);
    CCertificate cached = base;
    EXPECT_TRUE((cached.m_bHasDigestSha1 = 1) && cached == base);

    CCertificate ca = Sample(PrivateKeyOf(KeyFile(512, 3)), "CA");
    ca.m_notAfter.SetTime(std::time(nullptr) + 3600);
    EXPECT_TRUE(ca.IsSelfSigned() && !base.IsSelfSigned());
    EXPECT_TRUE(ca.IsIssuerOf(base) == 1 && base.IsIssuerOf(ca) == 0);
    ca.m_notAfter.SetTime(std::time(nullptr) - 1);
    EXPECT_EQ(ca.IsIssuerOf(base), 0);
    CUTCTime t = base.m_notBefore;
    EXPECT_TRUE(base.IsValidationPeriodOKFor(t) == 1 && base.IsValidationPeriodOKFor(base.m_notAfter) == 1);
    EXPECT_EQ(base.IsValidationPeriodOKFor(--t), 0);
}

TEST(CertificateObject, MalformedOrRepeatedExtensionsAreReportedNotTrusted) {
    const Octets ca = Seq({FromHex("0603551d13"), FromHex("0101ff"), Tlv(0x04, FromHex("30030101ff"))});
    const std::pair<Octets, const char*> rows[] = {
        {Seq({Seq({FromHex("0603551d13"), FromHex("0101ff"), FromHex("020100")})}),
         "extensions.extnValue: identifier 0x04 expected, 0x02 found"},
        {Seq({ca, ca}), "extensions: Extension 2.5.29.19 appears twice"},
        {Seq({Seq({Tlv(0x06, Concat({{0x2A}, Octets(64, 0x81), {0x01}})), Tlv(0x04, FromHex("0500"))})}),
         "extensions.extnID is not valid"},
    };
    for (const auto& [extensions, reason] : rows) {
        const CCertificate certificate = ReadCertificate(Certificate(Versioned(2, {Tlv(0xA3, extensions)})));
        CCertificateExtensionArray read;
        EXPECT_EQ(DecodingReason([&] { certificate.GetExtensions(read); }), reason);
        EXPECT_TRUE(certificate.IsCA() == 0 && certificate.HasUnknownCriticalExtension() == 1) << reason;
    }
    EXPECT_EQ(CCertificate().HasUnknownCriticalExtension(), 0);
    // A list that reads but holds a malformed value of an extension read here, critical or not.
    const Octets badName = Seq({FromHex("0603551d11"), Tlv(0x04, Seq({Tlv(0x81, FromHex("610062"))}))});
    const CCertificate certificate = ReadCertificate(Certificate(Versioned(2, {Tlv(0xA3, Seq({ca, badName}))})));
    EXPECT_TRUE(certificate.IsCA() == 0 && certificate.HasUnknownCriticalExtension() == 1);
    // Read, an extension of any identifier writes back as received: an arc past 64 bits too.
    const Octets wide = Seq({Tlv(0x06, Concat({{0x2A}, Octets(12, 0xFF), {0x7F}})), Tlv(0x04, FromHex("0500"))});
    const Octets der = Certificate(Versioned(2, {Tlv(0xA3, Seq({ca, wide}))}));
    const CCertificate read = ReadCertificate(der);
    EXPECT_TRUE(read.m_extensions.GetSize() == 2 && EncodingOf(read) == der);
    EXPECT_EQ(Encoded(CASN1_CertificateData(read)), Seq(Versioned(2, {Tlv(0xA3, Seq({ca, wide}))})));
}

// Every field of `ours` as libcrypto reads them from `der` (names: see the names tests; the
// signature: checked by verifying both ways).
void ExpectFieldsAsOpenSSLReads(const CCertificate& ours, const Octets& der) {
    const X509Ptr peer = Parse(der);
    ASSERT_TRUE(peer);
    X509* x = peer.get();
    const int nids[] = {NID_md2WithRSAEncryption, NID_md5WithRSAEncryption, NID_sha1WithRSAEncryption,
                        NID_sha256WithRSAEncryption};
    EXPECT_TRUE(ours.m_bVersion == X509_get_version(x) &&
                nids[ours.m_nSignatureAlgorithm] == X509_get_signature_nid(x));
    EXPECT_EQ(Encoded(CASN1_INTEGER(ours.m_serialNumber)), Der(X509_get0_serialNumber(x), i2d_ASN1_INTEGER));
    EXPECT_TRUE(ASN1_TIME_cmp_time_t(X509_get0_notBefore(x), ours.m_notBefore.GetTime()) == 0 &&
                ASN1_TIME_cmp_time_t(X509_get0_notAfter(x), ours.m_notAfter.GetTime()) == 0);
    EXPECT_EQ(ours.m_wKeyBits, EVP_PKEY_get_bits(X509_get0_pubkey(x)));
    EXPECT_EQ(Encoded(CASN1_SubjectPublicKeyInfo(ours)), Der(X509_get0_pubkey(x), i2d_PUBKEY));
}

// A certificate of `openssl req -x509` or, `issued`, of `openssl x509 -req` by the first row;
// without extensions version 1; what IsCA and HasUnknownCriticalExtension say of it.
struct PeerRow {
    const char* name;
    int bits, exponent;
    const char *options, *stringMask, *dn, *extensions;
    bool issued;
    int ca, unknownCritical;
};

const PeerRow kPeerRows[] = {
    {"v3 CA, 20-octet serial", 2048, 65537, "-sha1 -days 30 -set_serial 0x7F0102030405060708090A0B0C0D0E0F10111213",
     "utf8only", "C=DE\nO=Vorlan Test CA\nCN=Vorlan Root\n",
     "basicConstraints=critical,CA:TRUE\nsubjectKeyIdentifier=hash\n", false, 1, 0},
    {"v1 self-signed, MD5, 512 bits, e=3, leading zero octet", 512, 3, "-md5 -days 30 -set_serial 0x0080", "default",
     "C=DE\nO=M\xC3\xBCller GmbH\nCN=Erika\nemailAddress=erika@example.org\n", "", false, 0, 0},
    {"v1 issued, e=3, negative serial", 1024, 3, "-sha1 -days 30 -set_serial -5", "nombstr", "C=DE\nCN=J\xC3\xBCrgen\n",
     "", true, 0, 0},
    {"v3 issued, MD5, critical key usage", 768, 65537, "-md5 -days 30 -set_serial 0x00FF00", "utf8only",
     "CN=Leaf \xE2\x82\xAC\n",
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nsubjectAltName=email:a@example.org\n", true, 0, 0},
    // OpenSSL's defaults: SHA-256, UTF8String names; valid past 2049, so notAfter is a GeneralizedTime.
    {"v3 root of 100 years, SHA-256", 2048, 65537, "-sha256 -days 36500 -set_serial 0x5A", "utf8only",
     "O=Vorlan\nCN=Vorlan Root 2\n", "basicConstraints=critical,CA:TRUE\n", false, 1, 0},
};

Octets MakePeerCertificate(const PeerRow& row, const std::string& ca = "") {
    return PeerCertificate(KeyFile(row.bits, row.exponent), row.dn, row.options, row.stringMask, row.extensions,
                           row.issued ? ca : "");
}

TEST(CertificatesWithOpenSSL, PeerCertificatesReadAsLibcryptoReadsThemAndVerifyAgainstTheirIssuers) {
    const Octets caDer = MakePeerCertificate(kPeerRows[0]);
    const std::string ca = "-CA " + Pem(caDer, "ca") + " -CAkey " + KeyFile(2048);
    const CCertificate caCertificate = ReadCertificate(caDer);
    const CRSAPublicKey stranger = PrivateKeyOf(KeyFile(1024, 65537));
    for (const PeerRow& row : kPeerRows) {
        SCOPED_TRACE(row.name);
        const Octets der = MakePeerCertificate(row, ca);
        const CASN1_Certificate tree = DecodeCertificate(der);
        CCertificate ours;
        tree.SetDataTo(ours);
        ExpectFieldsAsOpenSSLReads(ours, der);
        EXPECT_TRUE(Encoded(tree) == der && EncodingOf(ours) == der);
        // The times are written back in the form they came in.
        const auto& tbs = static_cast<const CASN1_CONSTRUCTED_TYPE&>(tree.GetComponent(0));
        EXPECT_EQ(Encoded(CASN1_Validity(ours)), Encoded(tbs.GetComponent(ours.m_bVersion ? 4 : 3)));
        EXPECT_TRUE(ours.IsSignatureOKFor(row.issued ? caCertificate : ours) == 1 && !ours.IsSignatureOKFor(stranger));
        EXPECT_TRUE(ours.IsSelfSigned() == !row.issued &&
                    caCertificate.IsIssuerOf(ours) == (row.issued || &row == kPeerRows));
        // The extensions (identifier, flag, value) read as libcrypto reads them: written alike.
        CCertificateExtensionArray extensions;
        ours.GetExtensions(extensions);
        const X509Ptr peer = Parse(der);
        const STACK_OF(X509_EXTENSION)* peerExtensions = X509_get0_extensions(peer.get());
        EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SEQUENCE>(vorlan::detail::NewExtensionList(extensions))),
                  peerExtensions ? Der(peerExtensions, i2d_X509_EXTENSIONS) : FromHex("3000"));
        EXPECT_TRUE(ours.IsCA() == row.ca && ours.HasUnknownCriticalExtension() == row.unknownCritical);
        EXPECT_TRUE(static_cast<CSerialNumber>(tree.GetSerialNumber()) == ours.m_serialNumber &&
                    static_cast<CDistinguishedName>(tree.GetSubject()) == ours.m_subject);
    }
}

TEST(CertificatesWithOpenSSL, OurCertificatesPassOpenSSLVerifyAndPrintAsWritten) {
    // SHA-1 and 512-bit keys pass only at security level 0; SHA-256 and 1,024 bits at the default.
    // Each row: version, key, issuer (null: self-signed), algorithm, notAfter's year (0: in 30 days),
    // whether it is an S/MIME certificate with the extensions of one.
    const struct { BYTE version; int bits, exponent; const PeerRow* ca; int algorithm, year; bool smime; } rows[] = {
        {0, 512, 3, nullptr, 2, 0, false},                // v1 self-signed, SHA-1
        {2, 1024, 65537, &kPeerRows[0], 2, 0, false},     // v3 issued by an OpenSSL CA, SHA-1
        {2, 1024, 65537, &kPeerRows[4], 3, 2060, false},  // v3 SHA-256, issued by a root of 100 years
        {2, 1024, 65537, &kPeerRows[0], 3, 0, true},      // v3 S/MIME, SHA-256
    };
    // The subject in every string type the library writes: printable, IA5, T61 and UTF8.
    CDistinguishedName subject = NameOf({{{dnCountryName, "DE"}, {dnEmailAddress, "Erika@Example.org"}},
                                         {{dnOrganizationName, "M\xFCller"}},
                                         {{dnCommonName, "J\xC3\xBCrgen"}}});
    subject[2]->m_attributes[0]->m_nStringType = kASN1UTF8String;
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        const CRSAPrivateKey subjectKey = PrivateKeyOf(KeyFile(row.bits, row.exponent));
        CCertificate ours;
        ours.m_bVersion = row.version;
        ours.m_serialNumber.RandomPermutation();
        ours.m_subject = subject;
        ours.m_notBefore.SetTime(std::time(nullptr) - 60);
        ours.m_notAfter.SetTime(std::time(nullptr) + 86400 * 30);
        if (row.year) ours.m_notAfter.m_wYear = static_cast<WORD>(row.year);
        ours.GetDataFrom(subjectKey);
        const Octets caDer = row.ca ? MakePeerCertificate(*row.ca) : Octets{};
        const CCertificate ca = row.ca ? ReadCertificate(caDer) : CCertificate();
        ours.m_issuer = row.ca ? ca.m_subject : ours.m_subject;
        if (row.smime) {
            CGeneralName email;
            email.m_strText = "erika@example.org";
            for (const CCertificateExtension& extension :
                 {BasicConstraintsExtension({}), KeyUsageExtension(kDigitalSignature | kNonRepudiation | kKeyEncipherment),
                  ExtendedKeyUsageExtension({vorlan::oid::kEmailProtection}),
                  SubjectKeyIdentifierExtension(KeyIdentifierOf(ours)),
                  AuthorityKeyIdentifierExtension(KeyIdentifierOf(ca)), SubjectAltNameExtension({email})})
                ours.m_extensions.Add(extension);
        }
        ours.SignWith(row.ca ? PrivateKeyOf(KeyFile(row.ca->bits)) : subjectKey, row.algorithm);
        const Octets der = EncodingOf(ours);
        ExpectFieldsAsOpenSSLReads(ours, der);
        const std::string pem = Pem(der, "ours");
        int status = 0;
        const std::string level = row.algorithm == 2 ? " -auth_level 0" : "";
        const std::string verdict =
            Shell("openssl verify" + level + (row.smime ? " -purpose smimesign" : "") + " -CAfile " +
                      (row.ca ? Pem(caDer, "ca") : pem) + " " + pem, &status);
        EXPECT_EQ(status, 0) << verdict;
        const X509Ptr peer = Parse(der);
        const STACK_OF(X509_EXTENSION)* peerExtensions = X509_get0_extensions(peer.get());
        EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SEQUENCE>(vorlan::detail::NewExtensionList(ours.m_extensions))),
                  peerExtensions ? Der(peerExtensions, i2d_X509_EXTENSIONS) : FromHex("3000"));
        CCertificate loaded;
        EXPECT_TRUE(LoadInto(loaded, Stored(ours)) == kNothingThrown && loaded == ours &&
                    EncodingOf(loaded) == der && loaded.IsSignatureOKFor(row.ca ? ca : ours) == 1);
        EXPECT_EQ(Shell("openssl x509 -noout -subject -in " + pem),
                  "subject=C = DE + emailAddress = erika@example.org, O = M\\C3\\BCller, CN = J\\C3\\BCrgen\n");
        const CCertificate back = ReadCertificate(der);
        EXPECT_TRUE(back == ours && back.IsSignatureOKFor(row.ca ? ca : back) == 1);
    }
}

}  // namespace
}  // namespace x509test
