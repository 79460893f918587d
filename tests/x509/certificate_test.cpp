// CCertificate and its structures: shape checks that name the failing field, conversions that
// fail whole, the signature check against forgeries and stale digests, signing, the archive
// forms and their bounds, builders that refuse what their checks refuse, the text form,
// equality, the issuer tests and the extensions.
#include <openssl/x509.h>

#include <functional>

#include "peer.h"
#include "tests/common/archive_io.h"
#include "tests/common/exceptions.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/publickey.h"

namespace x509test {
namespace {

Octets OctetsOf(const CByteArray& a) { return Octets(a.GetData(), a.GetData() + a.GetSize()); }

const Octets kSha384WithRSA = Seq({FromHex("06092a864886f70d01010c"), FromHex("0500")});
const Octets kSignature = FromHex("030400010203");
Octets Validity(const std::string& notAfter = "480305140709Z") {
    return Seq({Text(0x17, "980305140709Z"), Text(0x17, notAfter)});
}
Octets KeyInfo(unsigned char unusedBits = 0) {
    const Octets key = Encoded(CASN1_PublicKey(PrivateKeyOf(KeyFile(512, 3))));
    return Seq({Seq({FromHex("06092a864886f70d010101"), FromHex("0500")}), Tlv(0x03, Concat({{unusedBits}, key}))});
}
Octets Version(unsigned char v) { return Tlv(0xA0, Tlv(0x02, {v})); }
// tbsCertificate components from the serial number to the key, version 1; `replacement` in
// place of the component at `at`.
std::vector<Octets> Fields(int at = -1, const Octets& replacement = {}) {
    std::vector<Octets> fields = {Tlv(0x02, {5}), kSha1WithRSA, Name("CA"), Validity(), Name("Leaf"), KeyInfo()};
    if (at >= 0) fields[static_cast<std::size_t>(at)] = replacement;
    return fields;
}
std::vector<Octets> With(std::vector<Octets> parts, std::initializer_list<Octets> front,
                         std::initializer_list<Octets> back) {
    parts.insert(parts.begin(), front);
    parts.insert(parts.end(), back);
    return parts;
}
Octets Certificate(const std::vector<Octets>& tbs, const Octets& algorithm = kSha1WithRSA,
                   const Octets& signature = kSignature, const Octets& more = {}) {
    return Seq({Seq(tbs), algorithm, signature, more});
}

CCertificate Sample(const CRSAPublicKey& key, const char* subject = "Leaf") {
    CCertificate certificate;
    const BYTE serial[] = {0x0A, 0xFF};
    certificate.m_bVersion = 2;
    certificate.m_serialNumber = CSerialNumber(serial, 2);
    certificate.m_issuer = NameOf("CA");
    certificate.m_subject = NameOf(subject);
    certificate.m_notBefore = CUTCTime(CString("980305140709Z"));
    certificate.m_notAfter = CUTCTime(CString("480305140709Z"));
    certificate.GetDataFrom(key);
    return certificate;
}
bool SameDigests(const CCertificate& a, const CCertificate& b) {
    return a.m_bHasDigest16 == b.m_bHasDigest16 && a.m_bHasDigestSha1 == b.m_bHasDigestSha1 &&
           std::equal(a.m_digest16, a.m_digest16 + 16, b.m_digest16) &&
           std::equal(a.m_digestSha1, a.m_digestSha1 + 20, b.m_digestSha1) &&
           a.m_bHasDigestSha256 == b.m_bHasDigestSha256 &&
           std::equal(a.m_digestSha256, a.m_digestSha256 + 32, b.m_digestSha256);
}
Octets PeerCertificate(const std::string& digest, const std::string& cn) {
    const fs::path der = InScratch("peer.der");
    Run("openssl req -x509 -new -key " + KeyFile(512, 3) + " -" + digest + " -subj /CN=" + cn + " -outform DER -out " +
        der.string());
    return ReadFile(der);
}

TEST(CertificateStructure, ShapeChecksFollowTheVersionAndNameTheFailingField) {
    const std::string prefix = "Certificate contents is not valid (Certificate";
    const struct {
        const char* name;
        Octets der;
        std::string reason;  // after the prefix; empty: valid
    } rows[] = {
        {"version 1, six components", Certificate(Fields()), ""},
        {"version 1 with issuerUniqueID", Certificate(With(Fields(), {}, {FromHex("810200ff")})),
         ".tbsCertificate: unexpected component 0x81 after the last field)"},
        {"version 2 with both unique identifiers",
         Certificate(With(Fields(), {Version(1)}, {FromHex("810200ff"), FromHex("820100")})), ""},
        {"version 2 with extensions", Certificate(With(Fields(), {Version(1)}, {FromHex("a3023000")})),
         ".tbsCertificate: unexpected component 0x83 after the last field)"},
        {"version 3 with extensions", Certificate(With(Fields(), {Version(2)}, {FromHex("a3023000")})), ""},
        {"version number 3", Certificate(With(Fields(), {Version(3)}, {})), ".tbsCertificate.version is not valid)"},
        {"unique identifier of 8 unused bits", Certificate(With(Fields(), {Version(1)}, {FromHex("81020800")})),
         ".tbsCertificate.issuerUniqueID is not valid)"},
        {"notAfter as GeneralizedTime",
         Certificate(Fields(3, Seq({Text(0x17, "980305140709Z"), Text(0x18, "20480305140709Z")}))), ""},
        {"notAfter as OCTET STRING", Certificate(Fields(3, Seq({Text(0x17, "980305140709Z"), Text(0x04, "x")}))),
         ".tbsCertificate.validity.notAfter: identifier 0x17 expected, 0x04 found)"},
        {"key of 4 unused bits", Certificate(Fields(5, KeyInfo(4))),
         ".tbsCertificate.subjectPublicKeyInfo.subjectPublicKey is not valid)"},
        {"signature of 4 unused bits", Certificate(Fields(), kSha1WithRSA, FromHex("030204f0")),
         ".signature is not valid)"},
        {"a fourth component", Certificate(Fields(), kSha1WithRSA, kSignature, FromHex("0500")),
         ": unexpected component 0x05 after the last field)"},
    };
    for (const auto& row : rows) {
        CDEREncoding der(0, const_cast<unsigned char*>(row.der.data()), row.der.size(), 0, 1);
        der.AddRef();
        std::unique_ptr<CASN1_Certificate> decoded;
        EXPECT_EQ(DecodingReason([&] { decoded = std::make_unique<CASN1_Certificate>(der); }),
                  row.reason.empty() ? "" : prefix + row.reason)
            << row.name;
        EXPECT_EQ(der.Remaining(), 0u) << row.name;
        CASN1_SEQUENCE plain;
        Decode(plain, row.der);
        EXPECT_EQ(CASN1_Certificate::isValid(&plain, 0), row.reason.empty()) << row.name;
    }
}

TEST(CertificateStructure, FailedConversionsNameTheFieldAndChangeNothing) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const CCertificate original = ReadCertificate(PeerCertificate("sha1", "Original"));
    const Octets hugeParameter = Seq({Seq({FromHex("06092a864886f70d010101"), FromHex("0203010000")}),
                                      Tlv(0x03, Concat({{0}, Encoded(CASN1_PublicKey(key))}))});
    const struct {
        const char* name;
        Octets der;
        const char* reason;
    } rows[] = {
        {"unknown signature algorithm", Certificate(Fields(1, kSha384WithRSA)),
         "CASN1_CertificateData::SetDataTo - unknown signature algorithm"},
        {"month 13", Certificate(Fields(3, Validity("481305140709Z"))),
         "CASN1_UTCTime::SetDataTo - invalid contents (notAfter)"},
        {"GeneralizedTime with a fraction of a second",
         Certificate(Fields(3, Seq({Text(0x17, "980305140709Z"), Text(0x18, "20500305140709.5Z")}))),
         "CASN1_GeneralizedTime::SetDataTo - invalid contents (notAfter)"},
        {"RSA key of 4,096 bits",
         Certificate(Fields(5, Seq({Seq({FromHex("06092a864886f70d010101"), FromHex("0500")}),
                                    Tlv(0x03, Concat({{0}, Seq({Tlv(0x02, Octets(513, 0x7F)), Tlv(0x02, {3})})}))}))),
         "SubjectPublicKeyInfo contents is not valid (RSA key longer than 2048 bits)"},
        {"elliptic curve key",
         Certificate(Fields(5, Seq({Seq({FromHex("06072a8648ce3d0201"), FromHex("06082a8648ce3d030107")}),
                                    Tlv(0x03, Concat({{0, 4}, Octets(64, 0x31)}))}))),
         "SubjectPublicKeyInfo contents is not valid (key algorithm 1.2.840.10045.2.1 is not RSA)"},
        {"key length parameter 65536", Certificate(Fields(5, hugeParameter)),
         "SubjectPublicKeyInfo contents is not valid (invalid algorithm identifier parameter)"},
        {"signature of 257 octets", Certificate(Fields(), kSha1WithRSA, Tlv(0x03, Octets(258, 0))),
         "Invalid Certificate's signature"},
    };
    for (const auto& row : rows) {
        const CASN1_Certificate structure = DecodeCertificate(row.der);
        CCertificate target = original;
        EXPECT_EQ(DecodingReason([&] { structure.SetDataTo(target); }), row.reason) << row.name;
        EXPECT_TRUE(target == original && SameDigests(target, original) && EncodingOf(target) == EncodingOf(original))
            << row.name;
    }
}

TEST(CertificateSignature, ShortSignatureForgedForAnExponentThreeIssuerIsRefused) {
    const CRSAPrivateKey issuer = PrivateKeyOf(KeyFile(2048, 3));
    // 00 01, `pads` octets FF, 00, DigestInfo, SHA-1(tbs): four as in the attack on a check of the
    // signature's own length, eight as a block parser requires.
    for (int pads : {4, 8}) {
        SCOPED_TRACE(pads);
        CCertificate forged = Sample(PrivateKeyOf(KeyFile(512, 3)));
        Octets block, digest;
        for (BYTE serial = 1;; ++serial) {  // the block must be odd to have a cube root
            forged.m_serialNumber = CSerialNumber(&serial, 1);
            digest = Sha1(Encoded(CASN1_CertificateData(forged)));
            block = Concat({{0x00, 0x01}, Octets(pads, 0xFF), FromHex("00 3021300906052b0e03021a05000414"), digest});
            if (block.back() & 1) break;
        }
        const Octets signature = ForgedSignature(block, issuer);
        const std::size_t n = signature.size();
        std::copy(signature.begin(), signature.end(), forged.m_signature + 256 - n);
        forged.m_wSignatureBits = static_cast<WORD>(8 * n);
        EXPECT_EQ(forged.IsSignatureOKFor(issuer), 0);
        EXPECT_EQ(ReadCertificate(EncodingOf(forged)).IsSignatureOKFor(issuer), 0);
        CCertificate genuine = forged;
        genuine.SignWith(issuer);
        EXPECT_EQ(ReadCertificate(EncodingOf(genuine)).IsSignatureOKFor(issuer), 1);
        for (WORD bits : {2040, 2056, 65535}) {  // stored bit counts shorter or longer than the modulus
            CCertificate stated = genuine;
            stated.m_wSignatureBits = bits;
            EXPECT_EQ(stated.IsSignatureOKFor(issuer), 0) << bits;
        }
    }
}

TEST(CertificateSignature, ReadingAnotherCertificateReplacesTheCachedDigests) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    CCertificate target = ReadCertificate(PeerCertificate("sha1", "First"));
    ASSERT_TRUE(target.m_bHasDigestSha1);
    DecodeCertificate(PeerCertificate("md5", "Second")).SetDataTo(target);
    EXPECT_TRUE(target.m_bHasDigest16 && !target.m_bHasDigestSha1);
    target.SignWith(key);  // signs the second certificate, not the first one's digest
    const CCertificate signedAgain = ReadCertificate(EncodingOf(target));
    EXPECT_EQ(signedAgain.m_subject.GetOneLine(), "CN=Second");
    EXPECT_EQ(signedAgain.IsSignatureOKFor(key), 1);

    CCertificate copy;
    copy = target;
    EXPECT_TRUE(SameDigests(copy, target));
    copy = CCertificate();
    EXPECT_TRUE(!copy.m_bHasDigest16 && !copy.m_bHasDigestSha1);
    // A cached digest is signed even after the fields change (the signed part as read).
    target.m_subject = NameOf("Changed");
    target.SignWith(key);
    EXPECT_EQ(target.IsSignatureOKFor(key), 1);
    EXPECT_EQ(ReadCertificate(EncodingOf(target)).IsSignatureOKFor(key), 0);
}

TEST(CertificateSignature, SigningUsesTheWholeModulusAndRefusesLongKeys) {
    CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    CCertificate certificate = Sample(key);
    certificate.m_nSignatureAlgorithm = 1;
    certificate.SignWith(key);
    EXPECT_EQ(certificate.m_nSignatureAlgorithm, 2);
    EXPECT_EQ(certificate.m_wSignatureBits, 512);
    EXPECT_EQ(Octets(certificate.m_signature, certificate.m_signature + 192), Octets(192, 0));
    EXPECT_EQ(certificate.IsSignatureOKFor(key), 1);
    EXPECT_EQ(certificate.IsSignatureOKFor(PrivateKeyOf(KeyFile(1024, 3))), 0);
    for (int algorithm : {3, 2}) {
        certificate.SignWith(key, algorithm);
        EXPECT_EQ(certificate.m_nSignatureAlgorithm, algorithm);
        EXPECT_EQ(ReadCertificate(EncodingOf(certificate)).IsSignatureOKFor(key), 1) << algorithm;
    }
    EXPECT_TRUE(certificate.m_bHasDigestSha1 && certificate.m_bHasDigestSha256);
    const CCertificate before = certificate;
    EXPECT_NE(MessageOf<CNotSupportedException>([&] { certificate.SignWith(key, 1); }), testcommon::kNoException);
    key.bits = 4096;
    EXPECT_EQ(MessageOf<CUnlockException>([&] { certificate.SignWith(key); }),
              "CCertificate::SignWith fails - key.RsaOutputSize() = 512");
    EXPECT_TRUE(certificate == before && SameDigests(certificate, before));
}

TEST(CertificateSignature, SignedPartIsDigestedAsReceived) {
    // The subject's length in a non-minimal form: OpenSSL verifies the octets it received.
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const Octets name = Name("Leaf");
    const Octets longFormName = Concat({{0x30, 0x81}, Octets(name.begin() + 1, name.end())});
    const Octets tbs = Seq({Version(2), Tlv(0x02, {5}), kSha1WithRSA, Name("CA"), Validity(), longFormName, KeyInfo()});
    CByteArray signature;
    key.LockDigest(sha1, Sha1(tbs).data(), signature);
    const Octets der = Seq({tbs, kSha1WithRSA, Tlv(0x03, Concat({{0}, OctetsOf(signature)}))});

    const unsigned char* at = der.data();
    std::unique_ptr<X509, decltype(&X509_free)> peer(d2i_X509(nullptr, &at, static_cast<long>(der.size())), X509_free);
    EVP_PKEY* peerKey = X509_get0_pubkey(peer.get());
    EXPECT_EQ(X509_verify(peer.get(), peerKey), 1);
    const CCertificate ours = ReadCertificate(der);
    EXPECT_EQ(ours.IsSignatureOKFor(key), 1);
    EXPECT_EQ(EncodingOf(ours), der);
    EXPECT_EQ(EncodingOf(CCertificate(ours)), der);
}

TEST(CertificateArchive, FormsTwoOneAndZeroLoadAndOutOfRangeFieldsAreRefused) {
    CCertificate original = ReadCertificate(PeerCertificate("md5", "Archived"));
    original.SignWith(PrivateKeyOf(KeyFile(512, 3)));  // both digests cached
    const auto stored = testcommon::Store([&](CArchive& ar) { original.Serialize(ar); });
    CCertificate loaded;
    testcommon::Loader loader(stored);
    loaded.Serialize(loader.ar);
    EXPECT_TRUE(loaded == original && SameDigests(loaded, original));
    // A cached SHA-256 digest makes it format 2, which carries that digest too.
    CCertificate sha256 = original;
    sha256.SignWith(PrivateKeyOf(KeyFile(512, 3)), 3);
    const auto stored2 = testcommon::Store([&](CArchive& ar) { sha256.Serialize(ar); });
    EXPECT_EQ(stored2[0], 2);
    testcommon::Loader loader2(stored2);
    loaded.Serialize(loader2.ar);
    EXPECT_TRUE(loaded == sha256 && SameDigests(loaded, sha256) && loaded.m_bHasDigestSha256);

    // Format 0 has no SHA-1 flag: the 16-bit flag and 20 octets after the MD5 digest go.
    constexpr std::size_t kFlags = 8 + 3 * 256, kSha1Flag = kFlags + 2 + 16;
    auto format0 = stored;
    format0[0] = 0;
    format0.erase(format0.begin() + kSha1Flag, format0.begin() + kSha1Flag + 2 + 20);
    CCertificate old;
    testcommon::Loader oldLoader(format0);
    old.Serialize(oldLoader.ar);
    EXPECT_TRUE(old == original && old.m_bHasDigest16 && !old.m_bHasDigestSha1);

    const struct {
        const char* name;
        std::size_t at;
        std::vector<BYTE> octets;
    } refused[] = {{"format 3", 0, {3}},
                   {"algorithm 4", 2, {4, 0}},
                   {"key of 2,049 bits", 4, {0x01, 0x08}},
                   {"signature of 65,535 bits", 6, {0xFF, 0xFF}},
                   {"serial count past the end", kSha1Flag + 22, {0xFF, 0xFF}}};
    for (const auto& row : refused) {
        auto patched = stored;
        std::copy(row.octets.begin(), row.octets.end(), patched.begin() + static_cast<long>(row.at));
        CCertificate target = original;
        testcommon::Loader bad(patched);
        EXPECT_NE(testcommon::CauseOf([&] { target.Serialize(bad.ar); }), testcommon::kNothingThrown) << row.name;
        EXPECT_TRUE(target == original && SameDigests(target, original)) << row.name;
    }

    CArray<CCertificate, const CCertificate&> array, back;
    array.Add(original);
    array.Add(Sample(PrivateKeyOf(KeyFile(512, 3))));
    testcommon::Loader arrays(testcommon::Store([&](CArchive& ar) { array.Serialize(ar); }));
    back.Serialize(arrays.ar);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_TRUE(back[0] == array[0] && back[1] == array[1]);
    CArray<CASN1_Certificate, const CASN1_Certificate&> values, loadedValues;
    values.Add(CASN1_Certificate(original));
    testcommon::Loader valueArchive(testcommon::Store([&](CArchive& ar) { values.Serialize(ar); }));
    loadedValues.Serialize(valueArchive.ar);
    EXPECT_EQ(Encoded(loadedValues[0]), EncodingOf(original));
    values.Add(CASN1_Certificate());  // an empty SEQUENCE is no certificate
    testcommon::Loader notACertificate(testcommon::Store([&](CArchive& ar) { values.Serialize(ar); }));
    EXPECT_EQ(testcommon::CauseOf([&] { loadedValues.Serialize(notACertificate.ar); }), CArchiveException::generic);
}

TEST(CertificateBuilders, FieldsThatCannotBeWrittenAreRefusedNotWritten) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const std::pair<const char*, std::function<void(CCertificate&)>> rows[] = {
        {"algorithm 7", [](CCertificate& c) { c.m_nSignatureAlgorithm = 7; }},
        {"version 4", [](CCertificate& c) { c.m_bVersion = 3; }},
        {"signature of 2,056 bits", [](CCertificate& c) { c.m_wSignatureBits = 2056; }},
    };
    for (const auto& [name, spoil] : rows) {
        CCertificate certificate = Sample(key);
        certificate.SignWith(key);
        spoil(certificate);
        EXPECT_NE(DecodingReason([&] { CASN1_Certificate structure(certificate); }), "") << name;
        EXPECT_NE(DecodingReason([&] { EncodingOf(certificate); }), "") << name;
        certificate.m_bHasDigestSha1 = 0;
        EXPECT_EQ(certificate.IsSignatureOKFor(key), 0) << name;
    }
    CCertificate bad = Sample(key);
    bad.m_nSignatureAlgorithm = 7;
    EXPECT_NE(CString(bad).Find("Signature Algorithm: <<< BAD!!! >>>\r\n"), -1);
}

TEST(CertificateObject, TextFormListsTheFieldsAndTheKeyInLinesOfSixtyDigits) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(1024, 65537));
    const std::string modulus = ToHex(key.modulus + 128, 128);
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
    const std::function<void(CCertificate&)> changes[] = {
        [](CCertificate& c) { c.m_bVersion = 1; },
        [](CCertificate& c) { c.m_serialNumber.SetAt(1, 0); },
        [](CCertificate& c) { c.m_nSignatureAlgorithm = 1; },
        [](CCertificate& c) { c.m_issuer = NameOf("X"); },
        [](CCertificate& c) { --c.m_notBefore; },
        [](CCertificate& c) { --c.m_notAfter; },
        [](CCertificate& c) { c.m_subject = NameOf("X"); },
        [](CCertificate& c) { c.m_wKeyBits = 1; },
        [](CCertificate& c) { c.m_publicExponent[0] = 1; },
        [](CCertificate& c) { c.m_modulus[0] = 1; },
        [](CCertificate& c) { c.m_signature[0] = 1; },
        [](CCertificate& c) { c.m_wSignatureBits = 8; },
    };
    for (const auto& change : changes) {
        CCertificate changed = base;
        change(changed);
        EXPECT_FALSE(changed == base);
    }
    CCertificate cached = base;
    cached.m_bHasDigestSha1 = 1;
    EXPECT_TRUE(cached == base);

    CCertificate ca = Sample(PrivateKeyOf(KeyFile(512, 3)), "CA");
    ca.m_notAfter.SetTime(std::time(nullptr) + 3600);
    EXPECT_TRUE(ca.IsSelfSigned() && !base.IsSelfSigned());
    EXPECT_EQ(ca.IsIssuerOf(base), 1);
    EXPECT_EQ(base.IsIssuerOf(ca), 0);
    ca.m_notAfter.SetTime(std::time(nullptr) - 1);
    EXPECT_EQ(ca.IsIssuerOf(base), 0);
    CUTCTime t = base.m_notBefore;
    EXPECT_EQ(base.IsValidationPeriodOKFor(t), 1);
    EXPECT_EQ(base.IsValidationPeriodOKFor(--t), 0);
    EXPECT_EQ(base.IsValidationPeriodOKFor(base.m_notAfter), 1);
}

TEST(CertificateObject, MalformedOrRepeatedExtensionsAreReportedNotTrusted) {
    const Octets ca = Seq({FromHex("0603551d13"), FromHex("0101ff"), Tlv(0x04, FromHex("30030101ff"))});
    const std::pair<Octets, const char*> rows[] = {
        {Seq({Seq({FromHex("0603551d13"), FromHex("0101ff"), FromHex("020100")})}),
         "extensions.extnValue: identifier 0x04 expected, 0x02 found"},
        {Seq({ca, ca}), "extensions: Extension 2.5.29.19 appears twice"},
    };
    for (const auto& [extensions, reason] : rows) {
        const CCertificate certificate =
            ReadCertificate(Certificate(With(Fields(), {Version(2)}, {Tlv(0xA3, extensions)})));
        CCertificateExtensionArray read;
        EXPECT_EQ(DecodingReason([&] { certificate.GetExtensions(read); }), reason);
        EXPECT_EQ(certificate.IsCA(), 0);
        EXPECT_EQ(certificate.HasUnknownCriticalExtension(), 1);
    }
    EXPECT_EQ(CCertificate().HasUnknownCriticalExtension(), 0);
}

}  // namespace
}  // namespace x509test
