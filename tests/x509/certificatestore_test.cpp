// Trust stores and the names they are looked up by: the system bundle read as libcrypto reads it
// (every certificate held, RSA and EC), bundles and folders with damaged
// entries, files past the bound; names compared as RFC 5280 7.1 says (PrintableString and
// UTF8String folded, other string types as their octets); and the validation with lists that
// are not required, over PKITS.

#include <openssl/pem.h>
#include <openssl/x509.h>

#include "tests/x509/peer.h"
#include "tests/x509/pkits_rows.h"
#include "vorlan/support/pem.h"

namespace {

using namespace x509test;

std::string PemOf(const Octets& der) {
    return EncodePem("CERTIFICATE", der.data(), static_cast<int>(der.size())).str();
}

Octets PkitsCertificate(const std::string& name) { return ReadFile(pkits::kPkits / "certs" / (name + ".crt")); }

TEST(CertificateStore, SystemBundleHoldsEveryCertificateLibcryptoReads) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(CCertificateStore::kSystemBundle, "r"), BIO_free);
    if (!bio) GTEST_SKIP() << "no " << CCertificateStore::kSystemBundle;
    int all = 0;
    while (X509* read = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
        ++all;
        X509_free(read);
    }
    CCertificateStore store;
    EXPECT_EQ(store.LoadFile(CCertificateStore::kSystemBundle), all);
    EXPECT_EQ(store.GetCount(), all);
    EXPECT_EQ(store.GetSkipped(), 0);
    // Each is found by its own subject and, where it has one, its key identifier.
    for (int i = 0; i < store.GetCount(); ++i) {
        const CPathCertificate& certificate = store.GetAt(i);
        const auto found = store.FindBySubject(certificate.SubjectKey());
        EXPECT_NE(std::find(found.begin(), found.end(), &certificate), found.end());
        const CByteArray& identifier = certificate.Extensions().subjectKeyIdentifier;
        if (identifier.GetSize()) {
            const auto byKey = store.FindByKeyIdentifier(identifier);
            EXPECT_NE(std::find(byKey.begin(), byKey.end(), &certificate), byKey.end());
        }
    }
}

TEST(CertificateStore, DamagedEntriesAreSkippedAndCounted) {
    const Octets good = PkitsCertificate("GoodCACert"), anchor = PkitsCertificate("TrustAnchorRootCertificate");
    if (good.empty()) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    const Octets dsa = PkitsCertificate("DSACACert");  // reads as DER, but its key is not RSA
    std::string damaged = PemOf(good);
    damaged[damaged.find('\n') + 10] = '*';  // not base64
    const std::string bundle = "text before\n" + PemOf(anchor) + damaged + PemOf(dsa) + PemOf(good) + PemOf(anchor) +
                               "-----BEGIN X509 CRL-----\nAAAA\n-----END X509 CRL-----\n";
    CCertificateStore store;
    EXPECT_EQ(store.AddPem(bundle.data(), static_cast<int>(bundle.size())), 3);
    EXPECT_EQ(store.GetCount(), 2);  // the anchor once
    EXPECT_EQ(store.GetSkipped(), 2);

    const fs::path folder = InScratch("anchors");
    fs::create_directories(folder / "sub");
    WriteFile(folder / "anchor.der", anchor);
    WriteFile(folder / "good.pem", PemOf(good));
    WriteFile(folder / "notes.txt", std::string("no certificate"));
    WriteFile(folder / "sub" / "dsa.der", dsa);
    CCertificateStore fromFolder;
    EXPECT_EQ(fromFolder.LoadFolder(folder.c_str()), 2);
    EXPECT_EQ(fromFolder.GetCount(), 2);
    EXPECT_EQ(fromFolder.GetSkipped(), 1);  // the text; the subfolder is not read

    // A file past the bound is refused before it is read.
    const fs::path huge = InScratch("huge.pem");
    fs::resize_file((WriteFile(huge, std::string()), huge), CCertificateStore::kMaxFileSize + 1);
    EXPECT_TRUE(Refused<CFileException>([&] { CCertificateStore().LoadFile(huge.c_str()); }));
    EXPECT_TRUE(Refused<CFileException>([&] { CCertificateStore().LoadFolder(InScratch("none").c_str()); }));
}

// A name of one RDN per attribute (label, value, string type), or one RDN of all of them.
CDistinguishedName Name(std::initializer_list<std::tuple<DNAttrNameEnum, const char*, int>> attributes,
                        bool oneRdn = false) {
    CDistinguishedName name;
    for (const auto& [type, value, stringType] : attributes) {
        if (!oneRdn || name.GetSize() == 0) name.Add(new CRelativeDN);
        auto* attribute = new CAttributeValue(type, value);
        attribute->m_strValue = value;
        attribute->m_nStringType = stringType;
        name[name.GetSize() - 1]->Add(attribute);
    }
    return name;
}

TEST(NameKey, ComparesAsRfc5280) {
    constexpr int printable = 19, utf8 = 12, ia5 = 22, t61 = 20;
    struct NameRow {
        const char* name;
        CDistinguishedName a, b;
        bool same;
    };
    const NameRow rows[] = {
        {"case and spaces of PrintableString", Name({{dnCommonName, "  Good   CA ", printable}}),
         Name({{dnCommonName, "good ca", printable}}), true},
        {"PrintableString and UTF8String", Name({{dnOrganizationName, "Test Certificates", printable}}),
         Name({{dnOrganizationName, "TEST certificates", utf8}}), true},
        {"UTF8String beyond ASCII as octets", Name({{dnCommonName, "\xC3\xA9t\xC3\xA9", utf8}}),
         Name({{dnCommonName, "\xC3\xA9T\xC3\xA9", utf8}}), true},
        {"IA5String case", Name({{dnEmailAddress, "a@example.com", ia5}}),
         Name({{dnEmailAddress, "A@example.com", ia5}}), false},
        {"T61String against PrintableString", Name({{dnCommonName, "CA", t61}}), Name({{dnCommonName, "CA", printable}}),
         false},
        {"inner space kept", Name({{dnCommonName, "Good CA", printable}}), Name({{dnCommonName, "GoodCA", printable}}),
         false},
        {"attributes of an RDN in any order",
         Name({{dnCommonName, "x", printable}, {dnOrganizationName, "y", printable}}, true),
         Name({{dnOrganizationName, "y", printable}, {dnCommonName, "x", printable}}, true), true},
        {"RDNs in order", Name({{dnCommonName, "x", printable}, {dnOrganizationName, "y", printable}}),
         Name({{dnOrganizationName, "y", printable}, {dnCommonName, "x", printable}}), false},
        {"one RDN or two", Name({{dnCommonName, "x", printable}, {dnOrganizationName, "y", printable}}, true),
         Name({{dnCommonName, "x", printable}, {dnOrganizationName, "y", printable}}), false},
    };
    for (const NameRow& row : rows) {
        EXPECT_EQ(IsSameName(row.a, row.b) != 0, row.same) << row.name;
        EXPECT_EQ(CNameKey(row.a).IsWithin(CNameKey(row.b)), row.same) << row.name;
    }
    const CDistinguishedName base = Name({{dnCountryName, "US", printable}, {dnOrganizationName, "Test", printable}});
    const CDistinguishedName below =
        Name({{dnCountryName, "us", printable}, {dnOrganizationName, "test", utf8}, {dnCommonName, "x", printable}});
    EXPECT_TRUE(CNameKey(below).IsWithin(CNameKey(base)));
    EXPECT_FALSE(CNameKey(base).IsWithin(CNameKey(below)));
    EXPECT_TRUE(CNameKey(base).IsWithin(CNameKey()));
}

// PKITS paths whose only fault is their lists: they pass when lists are not required, and a list
// that revokes still refuses.
TEST(PathValidation, ListsNotRequiredDecideOnlyWhereTheyAreUsable) {
    if (!fs::exists(pkits::kPkits)) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    CCertificateStore anchors, pool;
    CRevocationLists lists;
    const Octets anchor = PkitsCertificate("TrustAnchorRootCertificate");
    anchors.AddDer(anchor.data(), static_cast<int>(anchor.size()));
    for (const char* name : {"GoodCACert", "NoCRLCACert", "BadCRLSignatureCACert"}) {
        const Octets der = PkitsCertificate(name);
        pool.AddDer(der.data(), static_cast<int>(der.size()));
    }
    for (const char* name : {"TrustAnchorRootCRL", "GoodCACRL", "BadCRLSignatureCACRL"}) {
        const Octets der = ReadFile(pkits::kPkits / "crls" / (std::string(name) + ".crl"));
        lists.AddDer(der.data(), static_cast<int>(der.size()));
    }
    struct ModeRow {
        const char* test;
        EPathStatus required, notRequired;
    };
    const ModeRow rows[] = {
        {"InvalidMissingCRLTest1", kPathNoRevocationList, kPathValid},
        {"InvalidBadCRLSignatureTest4", kPathRevocationListRefused, kPathValid},
        {"InvalidRevokedEETest3", kPathRevoked, kPathRevoked},
        {"ValidCertificatePathTest1", kPathValid, kPathValid},
    };
    for (const ModeRow& row : rows) {
        const Octets der = PkitsCertificate(std::string(row.test) + "EE");
        const CPathCertificate end(der.data(), static_cast<int>(der.size()));
        for (const bool required : {true, false}) {
            CPathValidator validator(anchors, &pool, &lists);
            validator.m_options.time = CUTCTime(pkits::kValidationTime);
            validator.m_options.requireRevocationLists = required;
            const CPathResult result = validator.Validate(end);
            EXPECT_EQ(result.m_status, required ? row.required : row.notRequired)
                << row.test << (required ? " required: " : " not required: ") << result.m_strReason;
        }
    }
    // Without lists at all only the requirement refuses.
    const Octets der = PkitsCertificate("ValidCertificatePathTest1EE");
    const CPathCertificate end(der.data(), static_cast<int>(der.size()));
    CPathValidator unlisted(anchors, &pool);
    unlisted.m_options.time = CUTCTime(pkits::kValidationTime);
    EXPECT_TRUE(unlisted.Validate(end).IsValid());
    unlisted.m_options.requireRevocationLists = true;
    EXPECT_EQ(unlisted.Validate(end).m_status, kPathNoRevocationList);
}

}  // namespace
