// Certificates and lists with EC keys (P-256, P-384) and ECDSA signatures made by openssl: read
// as libcrypto reads them, verified with the issuer's key (EC or RSA), written back as received
// and archived; tampered ones, and a key of the other kind than the signature, do not verify;
// paths through EC issuers.
#include <openssl/evp.h>
#include <openssl/objects.h>

#include "peer.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/certificatedata.h"
#include "vorlan/x509/pathvalidation.h"
#include "vorlan/x509/subjectpublickeyinfo.h"

namespace x509test {
namespace {

// The key file of "rsa" (2,048 bits), of a curve, or of "P-256 compressed" (its point written so).
std::string KeyOf(const std::string& kind) {
    if (kind == "rsa") return KeyFile(2048);
    if (kind != "P-256 compressed") return ECKeyFile(kind);
    return MadeOnce("ec-P-256-compressed.pem", [](const std::string& out) {
        return "openssl ec -in " + ECKeyFile("P-256") + " -conv_form compressed -out " + out;
    });
}

// A CA certificate of `openssl req -x509` with the key of `kind`, DER.
Octets CAOf(const std::string& kind) { return PeerCertificate(KeyOf(kind), "CN=CA " + kind + "\n", "-sha256"); }

struct IssuedRow {
    const char* name;
    const char* subject;  // the key of the certificate: as KeyOf takes it
    const char* issuer;   // the key of its issuer; "" for a self-signed one
    const char* digest;
    int algorithm;  // m_nSignatureAlgorithm as read
};
const IssuedRow kIssued[] = {
    {"P_256_self_signed_with_SHA_256", "P-256", "", "sha256", 6},
    {"P_384_self_signed_with_SHA_384", "P-384", "", "sha384", 7},
    {"compressed_P_256_self_signed_with_SHA_512", "P-256 compressed", "", "sha512", 8},
    {"P_256_by_a_P_384_CA_with_SHA_512", "P-256", "P-384", "sha512", 8},
    {"P_384_by_an_RSA_CA_with_SHA_256", "P-384", "rsa", "sha256", 3},
    {"RSA_by_a_P_256_CA_with_SHA_384", "rsa", "P-256", "sha384", 7},
};

using ECCertificates = testing::TestWithParam<IssuedRow>;
TEST_P(ECCertificates, ReadAsLibcryptoReadsVerifyWriteBackAndArchive) {
    const IssuedRow& row = GetParam();
    const bool self = *row.issuer == 0;
    const Octets caDer = self ? Octets() : CAOf(row.issuer);
    const std::string by = self ? "" : "-CA " + Pem(caDer, "ec-ca") + " -CAkey " + KeyOf(row.issuer);
    const Octets der = PeerCertificate(KeyOf(row.subject), "CN=Leaf\n", std::string("-") + row.digest, "utf8only", "", by);
    const CCertificate certificate = ReadCertificate(der);
    const CCertificate issuer = self ? certificate : ReadCertificate(caDer);
    const X509Ptr peer = Parse(der);
    const EVP_PKEY* key = X509_get0_pubkey(peer.get());

    // The key as libcrypto reads it, and its SubjectPublicKeyInfo written back byte for byte.
    EXPECT_EQ(certificate.HasECKey(), EVP_PKEY_get_base_id(key) == EVP_PKEY_EC);
    EXPECT_EQ(certificate.m_wKeyBits, EVP_PKEY_get_bits(key));
    EXPECT_EQ(certificate.m_nSignatureAlgorithm, row.algorithm);
    EXPECT_EQ(Encoded(CASN1_SubjectPublicKeyInfo(certificate)), Der<X509_PUBKEY>(X509_get_X509_PUBKEY(peer.get()), i2d_X509_PUBKEY));
    if (certificate.HasECKey()) {
        const CString text(certificate);
        const std::string curve = std::string(row.subject).substr(0, 5);
        EXPECT_NE(text.str().find("Public Key: EC " + curve + "\r\n   Point:\r\n      0"), std::string::npos);
    }

    // Verified with the issuer's key, written back as received and as the fields build it.
    EXPECT_EQ(certificate.IsSignatureOKFor(issuer), 1);
    EXPECT_EQ(EncodingOf(certificate), der);
    unsigned char* tbs = nullptr;
    const int length = i2d_re_X509_tbs(peer.get(), &tbs);
    const Octets signedPart(tbs, tbs + length);
    OPENSSL_free(tbs);
    EXPECT_EQ(Encoded(CASN1_CertificateData(certificate)), signedPart);

    // The archive form keeps the key; the loaded certificate still verifies.
    CCertificate loaded;
    ASSERT_EQ(LoadInto(loaded, Stored(certificate)), kNothingThrown);
    EXPECT_TRUE(loaded == certificate && loaded.IsSignatureOKFor(issuer) == 1);
    if (certificate.HasECKey()) {
        // An unknown curve, or a point off its curve, does not load and changes nothing.
        auto stored = Stored(certificate);
        const std::size_t curveAt = stored.size() - static_cast<std::size_t>(certificate.m_abKeyPoint.GetSize()) - 3;
        ASSERT_EQ(stored[curveAt], certificate.m_bKeyCurve);  // then the point's 16-bit count and octets
        std::vector<std::pair<std::size_t, BYTE>> changes = {{curveAt, 0}, {curveAt, 3}};
        if (certificate.m_abKeyPoint[0] == 4) changes.emplace_back(stored.size() - 1, 0);  // y no longer fits x
        for (const auto& [at, octet] : changes) {
            auto patched = stored;
            patched[at] = static_cast<BYTE>(patched[at] == octet ? octet + 1 : octet);
            CCertificate target = certificate;
            EXPECT_EQ(LoadInto(target, patched), CArchiveException::generic) << at;
            EXPECT_TRUE(target == certificate);
        }
    }

    // A flipped signature bit, a changed field.
    CCertificate flipped = certificate;
    flipped.m_signature[CCertificate::kFieldSize - 5] ^= 0x10;
    EXPECT_EQ(flipped.IsSignatureOKFor(issuer), 0);
    EXPECT_EQ(LastDecodingReason(), std::string("signature differs"));
    CCertificate changed = certificate;
    changed.m_notAfter.m_wYear += 1;
    EXPECT_EQ(changed.IsSignatureOKFor(issuer), 0);
}
INSTANTIATE_TEST_SUITE_P(Peer, ECCertificates, testing::ValuesIn(kIssued), RowName());

// An ECDSA signature with an RSA key, and an RSA one with an EC key, are not checked.
TEST(ECCertificates, SignatureOfTheOtherKindIsNotCheckable) {
    const CCertificate rsa = ReadCertificate(CAOf("rsa")), ec = ReadCertificate(CAOf("P-256"));
    for (const auto& [certificate, issuer] : {std::pair{&rsa, &ec}, std::pair{&ec, &rsa}}) {
        EXPECT_EQ(certificate->IsSignatureOKFor(*issuer), 0);
        EXPECT_EQ(LastDecodingReason(), std::string("signature not checkable"));
    }
    // A curve the key field does not know is neither written nor checked.
    CCertificate unknown = ec;
    unknown.m_bKeyCurve = 3;
    EXPECT_NE(DecodingReason([&] { EncodingOf(unknown); }).find("unknown curve 3"), std::string::npos);
    EXPECT_EQ(unknown.IsSignatureOKFor(unknown), 0);
    EXPECT_EQ(LastDecodingReason(), std::string("signature not checkable"));
    // Nor is an RSA key taken from an EC certificate.
    CRSAPublicKey key;
    std::string refused;
    try {
        ec.SetDataTo(key);
    } catch (CUnlockException* e) {
        refused = LastUnlockReason();
        e->Delete();
    }
    EXPECT_EQ(refused, "the certificate's key is an EC key, not an RSA key");
}

// Lists signed by libcrypto with an EC key verify with the CA's certificate and write back as received.
TEST(ECLists, ListsOfAnECCAVerifyAndTamperedOnesDoNot) {
    for (const auto& [curve, digest, algorithm] :
         {std::tuple{"P-256", EVP_sha256(), 6}, std::tuple{"P-384", EVP_sha384(), 7}, std::tuple{"P-384", EVP_sha512(), 8}}) {
        const Octets caDer = CAOf(curve);
        const X509Ptr issuer = Parse(caDer);
        const std::unique_ptr<X509_CRL, decltype(&X509_CRL_free)> peer(X509_CRL_new(), X509_CRL_free);
        const std::unique_ptr<ASN1_TIME, decltype(&ASN1_TIME_free)> now(ASN1_TIME_set(nullptr, 1700000000), ASN1_TIME_free);
        X509_CRL_set_issuer_name(peer.get(), X509_get_subject_name(issuer.get()));
        X509_CRL_set1_lastUpdate(peer.get(), now.get());
        X509_CRL_set1_nextUpdate(peer.get(), now.get());
        ASSERT_GT(X509_CRL_sign(peer.get(), PeerKeyOf(ECKeyFile(curve)).get(), digest), 0);
        const Octets der = Der(peer.get(), i2d_X509_CRL);

        const CCertificateRevocationList crl = ReadList(der);
        const CCertificate ca = ReadCertificate(caDer);
        EXPECT_EQ(crl.m_nSignatureAlgorithm, algorithm) << curve;
        EXPECT_EQ(crl.IsSignatureOKFor(ca), 1) << curve;
        EXPECT_EQ(EncodingOf(crl), der) << curve;
        CCertificateRevocationList flipped = crl;
        flipped.m_signature[CCertificateRevocationList::kFieldSize - 3] ^= 1;
        EXPECT_EQ(flipped.IsSignatureOKFor(ca), 0) << curve;
        CCertificateRevocationList changed = crl;
        changed.m_nextUpdate.m_wYear += 1;
        EXPECT_EQ(changed.IsSignatureOKFor(ca), 0) << curve;
    }
}

// Two EC anchors of one name: the end certificate's signature is checked against each, and the
// verdict kept for the first key (which fails) is not taken for the second.
TEST(ECPaths, EachIssuerKeyOfOneNameGetsItsOwnVerdict) {
    const Octets first = PeerCertificate(ECKeyFile("P-256"), "CN=Twin CA\n", "-sha256");
    const Octets second = PeerCertificate(ECKeyFile("P-384"), "CN=Twin CA\n", "-sha384");
    const Octets end = PeerCertificate(ECKeyFile("P-256"), "CN=Leaf\n", "-sha384", "utf8only", "",
                                       "-CA " + Pem(second, "twin") + " -CAkey " + ECKeyFile("P-384"));
    CCertificateStore anchors;
    ASSERT_TRUE(anchors.AddDer(first.data(), static_cast<int>(first.size())) &&
                anchors.AddDer(second.data(), static_cast<int>(second.size())));
    const CPathCertificate leaf(end.data(), static_cast<int>(end.size()));
    const CPathResult result = CPathValidator(anchors).Validate(leaf);
    EXPECT_TRUE(result.IsValid()) << result.m_strReason;
}

}  // namespace
}  // namespace x509test
