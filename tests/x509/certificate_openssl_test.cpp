// Whole certificates with OpenSSL both ways: certificates of `openssl req -x509` and
// `openssl x509 -req` read field by field as libcrypto reads them and checked against their
// issuers; certificates made and signed here pass `openssl verify` and print as written.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "peer.h"
#include "vorlan/x509/validity.h"

namespace x509test {
namespace {

using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;

X509Ptr Parse(const Octets& der) {
    const unsigned char* at = der.data();
    return {d2i_X509(nullptr, &at, static_cast<long>(der.size())), X509_free};
}

// The last `octets` of a right-aligned field, and a number as such a field.
Octets Field(const BYTE* field, std::size_t octets = CCertificate::kFieldSize) {
    return Octets(field + CCertificate::kFieldSize - octets, field + CCertificate::kFieldSize);
}
Octets Padded(const BIGNUM* number) {
    Octets out(CCertificate::kFieldSize);
    BN_bn2binpad(number, out.data(), static_cast<int>(out.size()));
    return out;
}

std::time_t TimeOf(const ASN1_TIME* time) {
    struct tm fields {};
    ASN1_TIME_to_tm(time, &fields);
    return timegm(&fields);
}

// Every field of `ours` equals what libcrypto reads from `der` (names: see the names tests).
void ExpectFieldsAsOpenSSLReads(const CCertificate& ours, const Octets& der) {
    const X509Ptr peer = Parse(der);
    ASSERT_TRUE(peer);
    X509* x = peer.get();
    EXPECT_EQ(ours.m_bVersion, X509_get_version(x));
    BIGNUM* serial = ASN1_INTEGER_to_BN(X509_get0_serialNumber(x), nullptr);
    BIGNUM* ourSerial = BN_bin2bn(ours.m_serialNumber.GetData(), ours.m_serialNumber.GetSize(), nullptr);
    BN_set_negative(ourSerial, ours.m_serialNumber.m_bNegative);
    EXPECT_EQ(BN_cmp(serial, ourSerial), 0);
    BN_free(serial), BN_free(ourSerial);
    const int nids[] = {NID_md2WithRSAEncryption, NID_md5WithRSAEncryption, NID_sha1WithRSAEncryption,
                        NID_sha256WithRSAEncryption};
    EXPECT_EQ(nids[ours.m_nSignatureAlgorithm], X509_get_signature_nid(x));
    EXPECT_EQ(ours.m_notBefore.GetTime(), TimeOf(X509_get0_notBefore(x)));
    EXPECT_EQ(ours.m_notAfter.GetTime(), TimeOf(X509_get0_notAfter(x)));
    const EVP_PKEY* key = X509_get0_pubkey(x);
    EXPECT_EQ(ours.m_wKeyBits, EVP_PKEY_get_bits(key));
    for (auto [name, field] :
         {std::pair{OSSL_PKEY_PARAM_RSA_N, ours.m_modulus}, {OSSL_PKEY_PARAM_RSA_E, ours.m_publicExponent}}) {
        BIGNUM* number = nullptr;
        EVP_PKEY_get_bn_param(key, name, &number);
        EXPECT_EQ(Field(field), Padded(number)) << name;
        BN_free(number);
    }
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, x);
    const auto n = static_cast<std::size_t>(ASN1_STRING_length(signature));
    EXPECT_EQ(ours.m_wSignatureBits, 8 * n);
    EXPECT_EQ(Field(ours.m_signature, n), Octets(ASN1_STRING_get0_data(signature), ASN1_STRING_get0_data(signature) + n));
}

// The PEM file of a DER certificate.
std::string Pem(const Octets& der, const std::string& name) {
    const fs::path path = InScratch(name + ".der"), pem = InScratch(name + ".pem");
    WriteFile(path, der);
    Shell("openssl x509 -inform DER -in " + path.string() + " -out " + pem.string());
    return pem.string();
}

struct PeerRow {
    const char* name;
    int bits, exponent;
    const char* options;
    const char* stringMask;
    const char* dn;
    const char* extensions;  // empty: version 1
    bool issued;             // by the first row, with `openssl x509 -req`
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
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nsubjectAltName=email:a@example.org\n", true, 0, 1},
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
        EXPECT_EQ(ours.IsSignatureOKFor(row.issued ? caCertificate : ours), 1);
        EXPECT_EQ(ours.IsSignatureOKFor(stranger), 0);
        EXPECT_EQ(ours.IsSelfSigned(), row.issued ? 0 : 1);
        EXPECT_EQ(caCertificate.IsIssuerOf(ours), row.issued || &row == kPeerRows ? 1 : 0);
        const X509Ptr peer = Parse(der);
        CCertificateExtensionArray extensions;
        ours.GetExtensions(extensions);
        ASSERT_EQ(extensions.GetSize(), X509_get_ext_count(peer.get()));
        for (int i = 0; i < extensions.GetSize(); ++i) {
            X509_EXTENSION* peerExtension = X509_get_ext(peer.get(), i);
            char oid[80];
            OBJ_obj2txt(oid, sizeof oid, X509_EXTENSION_get_object(peerExtension), 1);
            const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(peerExtension);
            EXPECT_TRUE(extensions[i].m_strIdentifier == oid &&
                        extensions[i].m_bCritical == X509_EXTENSION_get_critical(peerExtension));
            EXPECT_EQ(OctetsOf(extensions[i].m_abValue),
                      Octets(ASN1_STRING_get0_data(value), ASN1_STRING_get0_data(value) + ASN1_STRING_length(value)));
        }
        EXPECT_TRUE(ours.IsCA() == row.ca && ours.HasUnknownCriticalExtension() == row.unknownCritical);
        EXPECT_TRUE(static_cast<CSerialNumber>(tree.GetSerialNumber()) == ours.m_serialNumber);
        EXPECT_TRUE(static_cast<CDistinguishedName>(tree.GetSubject()) == ours.m_subject);
    }
}

TEST(CertificatesWithOpenSSL, OurCertificatesPassOpenSSLVerifyAndPrintAsWritten) {
    // SHA-1 and 512-bit keys pass only at security level 0; SHA-256 and 1,024 bits at the default.
    const struct {
        const char* name;
        BYTE version;
        int bits, exponent;
        const PeerRow* ca;  // null: self-signed
        int algorithm;
        const char* shownAlgorithm;
        int year;
        const char* level;
    } rows[] = {
        {"v1 self-signed, 512 bits, e=3", 0, 512, 3, nullptr, 2, "sha1WithRSAEncryption", 0, " -auth_level 0"},
        {"v3 issued by an OpenSSL CA", 2, 1024, 65537, &kPeerRows[0], 2, "sha1WithRSAEncryption", 0, " -auth_level 0"},
        {"v3 SHA-256, issued by a root of 100 years, valid up to 2060", 2, 1024, 65537, &kPeerRows[4], 3,
         "sha256WithRSAEncryption", 2060, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CRSAPrivateKey subjectKey = PrivateKeyOf(KeyFile(row.bits, row.exponent));
        // The subject in every string type the library writes.
        CCertificate ours;
        ours.m_bVersion = row.version;
        ours.m_serialNumber.RandomPermutation();
        auto* rdn = new CRelativeDN;
        rdn->Add(new CAttributeValue(dnCountryName, "DE"));
        rdn->Add(new CAttributeValue(dnEmailAddress, "Erika@Example.org"));
        auto* latin1 = new CAttributeValue(dnOrganizationName, "M\xFCller");
        latin1->m_nStringType = kASN1T61String;
        auto* utf8 = new CAttributeValue(dnCommonName, "J\xC3\xBCrgen");
        utf8->m_nStringType = kASN1UTF8String;
        for (CRelativeDN* added : {rdn, new CRelativeDN, new CRelativeDN}) ours.m_subject.Add(added);
        ours.m_subject[1]->Add(latin1);
        ours.m_subject[2]->Add(utf8);
        ours.m_notBefore.SetTime(std::time(nullptr) - 60);
        ours.m_notAfter.SetTime(std::time(nullptr) + 86400 * 30);
        if (row.year) ours.m_notAfter.m_wYear = static_cast<WORD>(row.year);
        ours.GetDataFrom(subjectKey);

        const Octets caDer = row.ca ? MakePeerCertificate(*row.ca) : Octets{};
        const CCertificate ca = row.ca ? ReadCertificate(caDer) : CCertificate();
        ours.m_issuer = row.ca ? ca.m_subject : ours.m_subject;
        ours.SignWith(row.ca ? PrivateKeyOf(KeyFile(row.ca->bits)) : subjectKey, row.algorithm);
        const Octets der = EncodingOf(ours);
        ExpectFieldsAsOpenSSLReads(ours, der);
        const std::string pem = Pem(der, "ours");
        int status = 0;
        const std::string verdict =
            Shell("openssl verify" + std::string(row.level) + " -CAfile " + (row.ca ? Pem(caDer, "ca") : pem) + " " + pem,
                  &status);
        EXPECT_EQ(status, 0) << verdict;
        const std::string text = Shell("openssl x509 -noout -text -in " + pem);
        for (const std::string& shown : std::initializer_list<std::string>{
                 "Version: " + std::to_string(row.version + 1), row.shownAlgorithm,
                 "Public-Key: (" + std::to_string(row.bits) + " bit)", "Exponent: " + std::to_string(row.exponent),
                 "Subject: C = DE + emailAddress = erika@example.org, O = M\\C3\\BCller, CN = J\\C3\\BCrgen"})
            EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
        const CCertificate back = ReadCertificate(der);
        EXPECT_TRUE(back == ours && back.IsSignatureOKFor(row.ca ? ca : back) == 1);
    }
}

}  // namespace
}  // namespace x509test
