// Typed extension values: the extensions of certificates `openssl req -x509` makes read as
// libcrypto reads them (names compared as libcrypto writes them), malformed values refused with
// the field that fails, and the values built for issuing written as OpenSSL writes them.
#include <openssl/x509v3.h>

#include "peer.h"
#include "vorlan/x509/extensionvalues.h"

namespace x509test {
namespace {

template <class T>
using Owned = std::unique_ptr<T, void (*)(T*)>;

// The extension `nid` of a certificate as libcrypto reads it, null when absent.
template <class T>
Owned<T> PeerValue(X509* certificate, int nid, void (*free)(T*)) {
    return Owned<T>(static_cast<T*>(X509_get_ext_d2i(certificate, nid, nullptr, nullptr)), free);
}

std::string Dotted(const ASN1_OBJECT* object) {
    char text[128];
    OBJ_obj2txt(text, sizeof text, object, 1);
    return text;
}
Octets PeerOctets(const ASN1_STRING* string) {
    return Octets(ASN1_STRING_get0_data(string), ASN1_STRING_get0_data(string) + ASN1_STRING_length(string));
}
Octets Written(const CGeneralName& name) { return Encoded(*std::unique_ptr<CASN1Type>(vorlan::detail::NewGeneralName(name))); }

// Each name as libcrypto writes the name it read.
void ExpectNames(const CGeneralNames& ours, const GENERAL_NAMES* peer) {
    ASSERT_EQ(static_cast<int>(ours.size()), sk_GENERAL_NAME_num(peer));
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(peer, static_cast<int>(i));
        EXPECT_EQ(ours[i].m_kind, name->type);
        EXPECT_EQ(Written(ours[i]), Der(name, i2d_GENERAL_NAME));
    }
}

// The bits libcrypto reads of a BIT STRING of named bits, as 1 << n.
WORD FlagsOf(const ASN1_BIT_STRING* bits) {
    WORD flags = 0;
    for (int n = 0; n < 9; ++n)
        if (ASN1_BIT_STRING_get_bit(bits, n)) flags = static_cast<WORD>(flags | 1 << n);
    return flags;
}

// Every extension read here as libcrypto reads it; the critical ones it has besides them unknown.
void ExpectAsLibcryptoReads(const CCertificateExtensions& ours, X509* x) {
    const auto basic = PeerValue(x, NID_basic_constraints, BASIC_CONSTRAINTS_free);
    ASSERT_EQ(ours.basicConstraints.has_value(), basic != nullptr);
    if (basic) {
        EXPECT_TRUE(ours.basicConstraints->ca == (basic->ca != 0) &&
                    ours.basicConstraints->pathLength == (basic->pathlen ? ASN1_INTEGER_get(basic->pathlen) : -1));
    }
    const auto usage = PeerValue(x, NID_key_usage, ASN1_BIT_STRING_free);
    ASSERT_EQ(ours.keyUsage.has_value(), usage != nullptr);
    if (usage) { EXPECT_EQ(*ours.keyUsage, FlagsOf(usage.get())); }
    const auto purposes = PeerValue(x, NID_ext_key_usage, EXTENDED_KEY_USAGE_free);
    ASSERT_EQ(ours.extendedKeyUsage.has_value(), purposes != nullptr);
    if (purposes) {
        std::vector<std::string> peer, read;
        for (int i = 0; i < sk_ASN1_OBJECT_num(purposes.get()); ++i) peer.push_back(Dotted(sk_ASN1_OBJECT_value(purposes.get(), i)));
        for (const CString& purpose : *ours.extendedKeyUsage) read.push_back(purpose.str());
        EXPECT_EQ(read, peer);
    }
    const ASN1_OCTET_STRING* ski = X509_get0_subject_key_id(x);
    EXPECT_EQ(OctetsOf(ours.subjectKeyIdentifier), ski ? PeerOctets(ski) : Octets{});
    const auto aki = PeerValue(x, NID_authority_key_identifier, AUTHORITY_KEYID_free);
    ASSERT_EQ(ours.authorityKeyIdentifier.has_value(), aki != nullptr);
    if (aki) {
        EXPECT_EQ(OctetsOf(ours.authorityKeyIdentifier->keyIdentifier), aki->keyid ? PeerOctets(aki->keyid) : Octets{});
        if (aki->issuer) { ExpectNames(ours.authorityKeyIdentifier->issuer, aki->issuer); }
        ASSERT_EQ(ours.authorityKeyIdentifier->serialNumber.has_value(), aki->serial != nullptr);
        if (aki->serial) { EXPECT_EQ(Encoded(CASN1_INTEGER(*ours.authorityKeyIdentifier->serialNumber)), Der(aki->serial, i2d_ASN1_INTEGER)); }
    }
    const auto alternative = PeerValue(x, NID_subject_alt_name, GENERAL_NAMES_free);
    ASSERT_EQ(ours.subjectAltName.has_value(), alternative != nullptr);
    if (alternative) { ExpectNames(*ours.subjectAltName, alternative.get()); }
    const auto policies = PeerValue(x, NID_certificate_policies, CERTIFICATEPOLICIES_free);
    ASSERT_EQ(ours.certificatePolicies.has_value(), policies != nullptr);
    if (policies) {
        ASSERT_EQ(static_cast<int>(ours.certificatePolicies->size()), sk_POLICYINFO_num(policies.get()));
        for (int i = 0; i < sk_POLICYINFO_num(policies.get()); ++i)
            EXPECT_EQ((*ours.certificatePolicies)[static_cast<std::size_t>(i)].str(),
                      Dotted(sk_POLICYINFO_value(policies.get(), i)->policyid));
    }
    const auto constraints = PeerValue(x, NID_name_constraints, NAME_CONSTRAINTS_free);
    ASSERT_EQ(ours.nameConstraints.has_value(), constraints != nullptr);
    if (constraints) {
        for (const auto& [bases, subtrees] : {std::pair{&ours.nameConstraints->permitted, constraints->permittedSubtrees},
                                              std::pair{&ours.nameConstraints->excluded, constraints->excludedSubtrees}}) {
            ASSERT_EQ(static_cast<int>(bases->size()), subtrees ? sk_GENERAL_SUBTREE_num(subtrees) : 0);
            for (std::size_t i = 0; i < bases->size(); ++i)
                EXPECT_EQ(Written((*bases)[i]), Der(sk_GENERAL_SUBTREE_value(subtrees, static_cast<int>(i))->base, i2d_GENERAL_NAME));
        }
    }
    const auto points = PeerValue(x, NID_crl_distribution_points, CRL_DIST_POINTS_free);
    ASSERT_EQ(ours.crlDistributionPoints.has_value(), points != nullptr);
    if (points) {
        ASSERT_EQ(static_cast<int>(ours.crlDistributionPoints->size()), sk_DIST_POINT_num(points.get()));
        for (int i = 0; i < sk_DIST_POINT_num(points.get()); ++i) {
            const SDistributionPoint& point = (*ours.crlDistributionPoints)[static_cast<std::size_t>(i)];
            const DIST_POINT* peer = sk_DIST_POINT_value(points.get(), i);
            if (peer->distpoint && peer->distpoint->type == 0) { ExpectNames(point.fullName, peer->distpoint->name.fullname); }
            ASSERT_EQ(point.relativeName.has_value(), peer->distpoint && peer->distpoint->type == 1);
            if (point.relativeName) {
                const STACK_OF(X509_NAME_ENTRY)* entries = peer->distpoint->name.relativename;
                ASSERT_EQ(point.relativeName->m_attributes.GetSize(), sk_X509_NAME_ENTRY_num(entries));
                const ASN1_STRING* value = X509_NAME_ENTRY_get_data(sk_X509_NAME_ENTRY_value(entries, 0));
                EXPECT_EQ(point.relativeName->m_attributes[0]->m_strValue.str(),
                          std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value)));
            }
            EXPECT_EQ(point.reasons.value_or(0), peer->reasons ? FlagsOf(peer->reasons) : 0);
            if (peer->CRLissuer) { ExpectNames(point.crlIssuer, peer->CRLissuer); }
        }
    }
    std::vector<std::string> unknown, read;
    const int known[] = {NID_basic_constraints,  NID_key_usage,           NID_ext_key_usage,
                         NID_subject_key_identifier, NID_authority_key_identifier, NID_subject_alt_name,
                         NID_certificate_policies, NID_name_constraints,   NID_crl_distribution_points};
    for (int i = 0; i < X509_get_ext_count(x); ++i) {
        X509_EXTENSION* extension = X509_get_ext(x, i);
        const int nid = OBJ_obj2nid(X509_EXTENSION_get_object(extension));
        if (X509_EXTENSION_get_critical(extension) && std::find(std::begin(known), std::end(known), nid) == std::end(known))
            unknown.push_back(Dotted(X509_EXTENSION_get_object(extension)));
    }
    for (const CString& identifier : ours.unknownCritical) read.push_back(identifier.str());
    EXPECT_EQ(read, unknown);
}

// A CA, a user and a certificate of every other extension read here, each with the names of
// all nine alternatives OpenSSL writes.
struct PeerExtensionsRow {
    const char* name;
    friend void PrintTo(const PeerExtensionsRow& row, std::ostream* out) { *out << row.name; }
    std::string extensions;
};
const std::string kSections =
    "[dir]\nC=DE\nCN=Dir\n[pol]\npolicyIdentifier=2.23.140.1.2.1\nCPS.1=\"http://example.org/cps\"\n"
    "userNotice.1=@notice\n[notice]\nexplicitText=\"Notice\"\n[dp1]\nrelativename=rel\nCRLissuer=dirName:dir\n"
    "[rel]\nOU=Lists\n[dp2]\nfullname=URI:http://example.org/b.crl\nreasons=keyCompromise,CACompromise\n"
    "CRLissuer=dirName:dir\n";
const PeerExtensionsRow kPeerExtensions[] = {
    {"CA with path length and both key identifiers",
     "basicConstraints=critical,CA:TRUE,pathlen:2\nkeyUsage=critical,keyCertSign,cRLSign,decipherOnly\n"
     "subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid:always,issuer:always\n"},
    {"S/MIME user with every name OpenSSL writes",
     "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,nonRepudiation,keyEncipherment\n"
     "extendedKeyUsage=emailProtection,clientAuth,1.3.6.1.4.1.99999.7\n"
     "subjectAltName=email:a@example.org,DNS:example.org,URI:http://example.org/,IP:10.0.0.1,IP:2001:db8::1,"
     "RID:1.2.3.4,dirName:dir,otherName:1.2.3.4;UTF8:hello\n"},
    {"policies, name constraints, distribution points, an unknown critical one",
     "certificatePolicies=1.2.3.4,@pol\nnameConstraints=critical,permitted;DNS:.example.org,"
     "permitted;IP:192.168.0.0/255.255.0.0,permitted;email:example.org,excluded;dirName:dir\n"
     "crlDistributionPoints=dp1,dp2\n1.3.6.1.4.1.99999.9=critical,DER:0500\n"},
};

using PeerExtensions = testing::TestWithParam<PeerExtensionsRow>;
TEST_P(PeerExtensions, ReadAsLibcryptoReadsThem) {
    const Octets der = PeerCertificate(KeyFile(1024), "CN=Ext\n", "-sha256 -days 30", "utf8only",
                                       GetParam().extensions + kSections);
    CCertificateExtensionArray extensions;
    ReadCertificate(der).GetExtensions(extensions);
    const X509Ptr peer = Parse(der);
    ExpectAsLibcryptoReads(CCertificateExtensions(extensions), peer.get());
}
INSTANTIATE_TEST_SUITE_P(Rows, PeerExtensions, testing::ValuesIn(kPeerExtensions), RowName());

// One extension of a certificate (c), a list (l) or an entry (e), its value in hex, and the
// reason reading it fails with ("" when it reads).
struct MalformedRow {
    const char* name;
    char holder;
    const char* identifier;
    std::string value;
    std::string reason;
    friend void PrintTo(const MalformedRow& row, std::ostream* out) { *out << row.name; }
};
using namespace hexder;
const MalformedRow kMalformed[] = {
    {"octets after the value", 'c', vorlan::oid::kBasicConstraints, "30000500", "basicConstraints: octets after the value"},
    {"negative path length", 'c', vorlan::oid::kBasicConstraints, tlv("30", {"0101ff", "0201ff"}),
     "basicConstraints.pathLenConstraint is not valid"},
    {"key usage as INTEGER", 'c', vorlan::oid::kKeyUsage, "020105", "keyUsage: KeyUsage is not valid"},
    {"no purpose", 'c', vorlan::oid::kExtendedKeyUsage, "3000", "extendedKeyUsage: KeyPurposeId is missing"},
    {"key identifier as INTEGER", 'c', vorlan::oid::kSubjectKeyIdentifier, "020105",
     "subjectKeyIdentifier: KeyIdentifier is not valid"},
    {"authority serial negative", 'c', vorlan::oid::kAuthorityKeyIdentifier, tlv("30", {"8201ff"}),
     "authorityKeyIdentifier.authorityCertSerialNumber is not valid"},
    {"no alternative name", 'c', vorlan::oid::kSubjectAltName, "3000", "subjectAltName: GeneralName is missing"},
    {"rfc822Name holding NUL", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("81", {"610062"})}),
     "subjectAltName.rfc822Name is not valid"},
    {"rfc822Name constructed", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("a1", {str("a", "16")})}),
     "subjectAltName.rfc822Name is not valid"},
    {"iPAddress of 5 octets", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("87", {"0a00000100"})}),
     "subjectAltName.iPAddress is not valid"},
    {"alternative [9]", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("89", {"00"})}),
     "subjectAltName: GeneralName: alternative of identifier 0x89 is unknown"},
    {"directoryName not a Name", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("a4", {"0500"})}),
     "subjectAltName.directoryName: Name: identifier 0x10 expected, 0x05 found"},
    {"otherName without value", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("a0", {"06022a03"})}),
     "subjectAltName.otherName.value is missing"},
    {"ediPartyName without partyName", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("a5", {tlv("a0", {str("x", "0c")})})}),
     "subjectAltName.ediPartyName.partyName is missing"},
    {"x400Address kept as received", 'c', vorlan::oid::kSubjectAltName, tlv("30", {tlv("a3", {tlv("30", {"0500"})})}), ""},
    {"policy twice", 'c', vorlan::oid::kCertificatePolicies, tlv("30", {tlv("30", {"06022a03"}), tlv("30", {"06022a03"})}),
     "certificatePolicies.policy 1.2.3 appears twice"},
    {"policy qualifier without qualifier", 'c', vorlan::oid::kCertificatePolicies,
     tlv("30", {tlv("30", {"06022a03", tlv("30", {tlv("30", {"06022a03"})})})}),
     "certificatePolicies.policyQualifiers.qualifier is missing"},
    {"no subtrees", 'c', vorlan::oid::kNameConstraints, "3000", "nameConstraints: NameConstraints is not valid"},
    {"subtree with a maximum", 'c', vorlan::oid::kNameConstraints, tlv("30", {tlv("a0", {tlv("30", {str("a", "82"), "810101"})})}),
     "nameConstraints.permittedSubtrees.maximum is not valid"},
    {"subtree with minimum 1", 'c', vorlan::oid::kNameConstraints, tlv("30", {tlv("a1", {tlv("30", {str("a", "82"), "800101"})})}),
     "nameConstraints.excludedSubtrees.minimum is not valid"},
    {"subtree with minimum 0", 'c', vorlan::oid::kNameConstraints, tlv("30", {tlv("a1", {tlv("30", {str("a", "82"), "800100"})})}), ""},
    {"distribution point naming nothing", 'c', vorlan::oid::kCRLDistributionPoints, tlv("30", {"3000"}),
     "cRLDistributionPoints: DistributionPoint is not valid"},
    {"CRL number negative", 'l', vorlan::oid::kCRLNumber, "0201ff", "cRLNumber: CRLNumber is not valid"},
    {"delta indicator as OCTET STRING", 'l', vorlan::oid::kDeltaCRLIndicator, "040101", "deltaCRLIndicator: CRLNumber is not valid"},
    {"IDP flag as INTEGER", 'l', vorlan::oid::kIssuingDistributionPoint, tlv("30", {"a203020101"}),
     "issuingDistributionPoint.onlyContainsCACerts is not valid"},
    {"reason 7", 'e', vorlan::oid::kReasonCode, "0a0107", "reasonCode: CRLReason is not valid"},
    {"reason as INTEGER", 'e', vorlan::oid::kReasonCode, "020101", "reasonCode: CRLReason is not valid"},
    {"invalidity date as UTCTime", 'e', vorlan::oid::kInvalidityDate, str("990101000000Z", "17"),
     "invalidityDate: InvalidityDate is not valid"},
    {"certificate issuer empty", 'e', vorlan::oid::kCertificateIssuer, "3000", "certificateIssuer: GeneralName is missing"},
};

using MalformedExtensions = testing::TestWithParam<MalformedRow>;
TEST_P(MalformedExtensions, AreRefusedNamingTheFieldThatFails) {
    const MalformedRow& row = GetParam();
    CCertificateExtensionArray extensions;
    CCertificateExtension extension;
    extension.m_strIdentifier = row.identifier;
    const Octets value = FromHex(row.value);
    extension.m_abValue.SetSize(static_cast<int>(value.size()));
    std::copy(value.begin(), value.end(), extension.m_abValue.GetData());
    extensions.Add(extension);
    EXPECT_EQ(DecodingReason([&] {
                  if (row.holder == 'c') CCertificateExtensions read(extensions);
                  if (row.holder == 'l') CListExtensions read(extensions);
                  if (row.holder == 'e') CEntryExtensions read(extensions);
              }),
              row.reason);
}
INSTANTIATE_TEST_SUITE_P(Rows, MalformedExtensions, testing::ValuesIn(kMalformed), RowName());

// Each extension built for issuing, and the OpenSSL configuration line of the same value.
struct BuiltRow {
    const char* name;
    std::function<CCertificateExtension(const CCertificate& subject)> build;
    std::string line;
    friend void PrintTo(const BuiltRow& row, std::ostream* out) { *out << row.name; }
};
CGeneralName NameOfKind(CGeneralName::EKind kind, const char* text) {
    CGeneralName name;
    name.m_kind = kind;
    name.m_strText = text;
    return name;
}
const BuiltRow kBuilt[] = {
    {"CA", [](const CCertificate&) { return BasicConstraintsExtension({true, -1}); }, "basicConstraints=critical,CA:TRUE"},
    {"CA of path length 0", [](const CCertificate&) { return BasicConstraintsExtension({true, 0}); },
     "basicConstraints=critical,CA:TRUE,pathlen:0"},
    {"not a CA", [](const CCertificate&) { return BasicConstraintsExtension({}); }, "basicConstraints=critical,CA:FALSE"},
    {"S/MIME key usage",
     [](const CCertificate&) { return KeyUsageExtension(kDigitalSignature | kNonRepudiation | kKeyEncipherment); },
     "keyUsage=critical,digitalSignature,nonRepudiation,keyEncipherment"},
    {"CA key usage", [](const CCertificate&) { return KeyUsageExtension(kKeyCertSign | kCRLSign); },
     "keyUsage=critical,keyCertSign,cRLSign"},
    {"key usage of the ninth bit", [](const CCertificate&) { return KeyUsageExtension(kDigitalSignature | kDecipherOnly); },
     "keyUsage=critical,digitalSignature,decipherOnly"},
    {"e-mail protection", [](const CCertificate&) { return ExtendedKeyUsageExtension({vorlan::oid::kEmailProtection}); },
     "extendedKeyUsage=emailProtection"},
    {"subject key identifier", [](const CCertificate& c) { return SubjectKeyIdentifierExtension(KeyIdentifierOf(c)); },
     "subjectKeyIdentifier=hash"},
    {"authority key identifier", [](const CCertificate& c) { return AuthorityKeyIdentifierExtension(KeyIdentifierOf(c)); },
     "authorityKeyIdentifier=keyid:always"},
    {"alternative names",
     [](const CCertificate&) {
         return SubjectAltNameExtension({NameOfKind(CGeneralName::kRfc822Name, "a@example.org"),
                                         NameOfKind(CGeneralName::kDNSName, "example.org"),
                                         NameOfKind(CGeneralName::kURI, "http://example.org/"),
                                         NameOfKind(CGeneralName::kRegisteredID, "1.2.3.4")});
     },
     "subjectAltName=email:a@example.org,DNS:example.org,URI:http://example.org/,RID:1.2.3.4"},
};

using BuiltExtensions = testing::TestWithParam<BuiltRow>;
TEST_P(BuiltExtensions, AreWrittenAsOpenSSLWritesThem) {
    const BuiltRow& row = GetParam();
    const X509Ptr peer = Parse(PeerCertificate(KeyFile(1024), "CN=Ext\n", "-days 1", "utf8only", row.line + "\n"));
    CCertificate subject;
    subject.GetDataFrom(PrivateKeyOf(KeyFile(1024)));
    CCertificateExtensionArray built;
    built.Add(row.build(subject));
    const Owned<ASN1_OBJECT> identifier(OBJ_txt2obj(built[0].m_strIdentifier, 1), ASN1_OBJECT_free);
    const X509_EXTENSION* expected = X509_get_ext(peer.get(), X509_get_ext_by_OBJ(peer.get(), identifier.get(), -1));
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SEQUENCE>(vorlan::detail::NewExtensionList(built))),
              Seq({Der(expected, i2d_X509_EXTENSION)}));
}
INSTANTIATE_TEST_SUITE_P(Rows, BuiltExtensions, testing::ValuesIn(kBuilt), RowName());

TEST(BuiltExtensions, CRLNumberIsWrittenAsLibcryptoWritesIt) {
    for (const Octets& magnitude : {Octets{0}, Octets{0x05}, Octets{0x80}, Octets(20, 0xFF)}) {
        const Owned<BIGNUM> number(BN_bin2bn(magnitude.data(), static_cast<int>(magnitude.size()), nullptr), BN_free);
        const Owned<ASN1_INTEGER> integer(BN_to_ASN1_INTEGER(number.get(), nullptr), ASN1_INTEGER_free);
        const Owned<X509_EXTENSION> expected(X509V3_EXT_i2d(NID_crl_number, 0, integer.get()), X509_EXTENSION_free);
        CCertificateExtensionArray built;
        built.Add(CRLNumberExtension(CSerialNumber(magnitude.data(), static_cast<int>(magnitude.size()))));
        EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SEQUENCE>(vorlan::detail::NewExtensionList(built))),
                  Seq({Der(expected.get(), i2d_X509_EXTENSION)}));
        EXPECT_TRUE(CListExtensions(built).crlNumber ==
                    CSerialNumber(magnitude.data(), static_cast<int>(magnitude.size())));
    }
}

}  // namespace
}  // namespace x509test
