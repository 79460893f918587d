#include "vorlan/x509/extensionvalues.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/times.h"

namespace {

using vorlan::detail::CStructureReader;
using vorlan::detail::kThisStructure;
using vorlan::detail::NextOf;
using vorlan::detail::PrimitiveContents;
using vorlan::detail::ReaderOf;
using vorlan::detail::Require;
using vorlan::detail::Within;

// ---- Pieces several extensions share ----

// The one DER element of an extnValue; octets after it are the decoding exception.
std::unique_ptr<CASN1Type> DecodedValue(const CByteArray& octets) {
    CDEREncoding der(0, const_cast<BYTE*>(octets.GetData()), static_cast<unsigned long>(octets.GetSize()), 0, 0);
    std::unique_ptr<CASN1Type> value(___buildFromEncoding(der));
    if (der.Remaining() != 0) ___throwDERDecodingException(": octets after the value");
    return value;
}

// The component as the implicitly tagged primitive T (a BOOLEAN, an INTEGER ...).
template <class T>
void Implicit(const CASN1Type& value, const char* field, T& read) {
    auto* tagged = dynamic_cast<CASN1_TAGGED*>(const_cast<CASN1Type*>(&value));
    Require(tagged && !value.m_bConstructed && read.fromImplicit(*tagged), field);
}

// The dotted text of an OBJECT IDENTIFIER component.
CString Dotted(CStructureReader& reader, const char* field) {
    CString dotted;
    NextOf<CASN1_OBJECT_IDENTIFIER>(reader, kASN1ObjectIdentifier, field).GetDecimalDottedString(dotted);
    return dotted;
}

// A BIT STRING of named bits (KeyUsage, ReasonFlags), or one implicitly tagged: bit n as 1 << n.
// Bits past the ninth are named by no list read here and are left out.
WORD Flags(const CASN1Type& value, const char* field) {
    CASN1_BIT_STRING implicit;
    const auto* bits = dynamic_cast<const CASN1_BIT_STRING*>(&value);
    if (!bits) {
        auto* tagged = dynamic_cast<CASN1_TAGGED*>(const_cast<CASN1Type*>(&value));
        Require(tagged && implicit.fromImplicit(*tagged), field);
        bits = &implicit;
    }
    bits->OnOffAlignLeft(1);
    CByteArray octets;
    octets.SetSize(static_cast<int>(bits->getClearContentsLength()));
    bits->GetClearData(octets.GetData(), static_cast<unsigned long>(octets.GetSize()), 1, 0);
    WORD flags = 0;
    const DWORD named = std::min<DWORD>(bits->m_dwBits, 9);
    for (DWORD n = 0; n < named && n / 8 < static_cast<DWORD>(octets.GetSize()); ++n)
        if (octets[static_cast<int>(n / 8)] & (0x80 >> (n % 8))) flags = static_cast<WORD>(flags | (1u << n));
    return flags;
}

// A non-negative INTEGER as a serial number (CRLNumber, CertificateSerialNumber).
CSerialNumber Number(const CASN1_INTEGER& value, const char* field) {
    const CSerialNumber number = value;
    Require(!number.m_bNegative, field);
    return number;
}

// DistributionPointName ::= CHOICE {
//      fullName                [0]     GeneralNames,
//      nameRelativeToCRLIssuer [1]     RelativeDistinguishedName }
// Inside the explicit [0] of a distribution point (a CHOICE is tagged explicitly).
void ReadDistributionPointName(const CASN1Type& value, CGeneralNames& fullName,
                               std::optional<CRelativeDN>& relativeName) {
    CStructureReader wrapper = ReaderOf(value, value.identifier, 0, kThisStructure);
    const CASN1Type& choice = wrapper.NextAny("DistributionPointName");
    wrapper.End(kThisStructure);
    if (choice.identifier == ASN1ContextTag(0)) {
        Within("fullName", [&] { vorlan::detail::ReadGeneralNames(choice, 1, fullName); });
    } else {
        Require(choice.identifier == ASN1ContextTag(1), "DistributionPointName");
        Within("nameRelativeToCRLIssuer", [&] { CASN1_RelativeDistinguishedName::Read(choice, relativeName.emplace()); });
    }
}

// ---- The structures, one walk each ----

// BasicConstraints ::= SEQUENCE {
//      cA                      BOOLEAN DEFAULT FALSE,
//      pathLenConstraint       INTEGER (0..MAX) OPTIONAL }
SBasicConstraints ReadBasicConstraints(const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    SBasicConstraints constraints;
    if (const auto* ca = dynamic_cast<const CASN1_BOOLEAN*>(reader.Optional(kASN1Boolean)))
        constraints.ca = ca->GetBoolean();
    if (const auto* length = dynamic_cast<const CASN1_INTEGER*>(reader.Optional(kASN1Integer))) {
        unsigned long number = 0;
        Require(length->GetInteger(number) && number <= INT_MAX, "pathLenConstraint");
        constraints.pathLength = static_cast<int>(number);
    }
    reader.End(kThisStructure);
    return constraints;
}

// KeyUsage ::= BIT STRING { digitalSignature (0), ..., decipherOnly (8) }
WORD ReadKeyUsage(const CASN1Type& value) {
    Require(value.identifier == kASN1BitString, "KeyUsage");
    return Flags(value, "KeyUsage");
}

// ExtKeyUsageSyntax ::= SEQUENCE SIZE (1..MAX) OF KeyPurposeId
// KeyPurposeId ::= OBJECT IDENTIFIER
// (and the same shape for the list of policy identifiers below)
std::vector<CString> ReadIdentifiers(const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    std::vector<CString> identifiers;
    do identifiers.push_back(Dotted(reader, "KeyPurposeId"));
    while (!reader.AtEnd());
    return identifiers;
}

// SubjectKeyIdentifier ::= KeyIdentifier
// KeyIdentifier ::= OCTET STRING
CByteArray ReadKeyIdentifier(const CASN1Type& value) {
    Require(value.identifier == kASN1OctetString, "KeyIdentifier");
    return PrimitiveContents(value, "KeyIdentifier");
}

// AuthorityKeyIdentifier ::= SEQUENCE {
//      keyIdentifier             [0] KeyIdentifier           OPTIONAL,
//      authorityCertIssuer       [1] GeneralNames            OPTIONAL,
//      authorityCertSerialNumber [2] CertificateSerialNumber OPTIONAL  }
SAuthorityKeyIdentifier ReadAuthorityKeyIdentifier(const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    SAuthorityKeyIdentifier identifier;
    if (const CASN1Type* key = reader.Optional(ASN1ContextTag(0)))
        identifier.keyIdentifier = PrimitiveContents(*key, "keyIdentifier");
    if (const CASN1Type* issuer = reader.Optional(ASN1ContextTag(1)))
        Within("authorityCertIssuer", [&] { vorlan::detail::ReadGeneralNames(*issuer, 1, identifier.issuer); });
    if (const CASN1Type* serial = reader.Optional(ASN1ContextTag(2))) {
        CASN1_INTEGER number;
        Implicit(*serial, "authorityCertSerialNumber", number);
        identifier.serialNumber = Number(number, "authorityCertSerialNumber");
    }
    reader.End(kThisStructure);
    return identifier;
}

CGeneralNames ReadNames(const CASN1Type& value) {
    CGeneralNames names;
    vorlan::detail::ReadGeneralNames(value, 0, names);
    return names;
}

// certificatePolicies ::= SEQUENCE SIZE (1..MAX) OF PolicyInformation
// PolicyInformation ::= SEQUENCE {
//      policyIdentifier   CertPolicyId,
//      policyQualifiers   SEQUENCE SIZE (1..MAX) OF PolicyQualifierInfo OPTIONAL }
// PolicyQualifierInfo ::= SEQUENCE {
//      policyQualifierId  PolicyQualifierId,
//      qualifier          ANY DEFINED BY policyQualifierId }
// The qualifiers are only checked for this shape. A policy appears once at most.
std::vector<CString> ReadCertificatePolicies(const CASN1Type& value) {
    CStructureReader list = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    std::vector<CString> policies;
    do {
        CStructureReader information = ReaderOf(list.NextAny("PolicyInformation"), kASN1Sequence, 0, "PolicyInformation");
        const CString policy = Dotted(information, "policyIdentifier");
        if (std::find(policies.begin(), policies.end(), policy) != policies.end())
            ___throwDERDecodingException("policy %s appears twice", static_cast<const char*>(policy));
        policies.push_back(policy);
        if (const CASN1Type* qualifiers = information.Optional(kASN1Sequence))
            Within("policyQualifiers", [&] {
                CStructureReader each = ReaderOf(*qualifiers, kASN1Sequence, 0, kThisStructure);
                do {
                    CStructureReader qualifier =
                        ReaderOf(each.NextAny("PolicyQualifierInfo"), kASN1Sequence, 0, "PolicyQualifierInfo");
                    Dotted(qualifier, "policyQualifierId");
                    qualifier.NextAny("qualifier");
                    qualifier.End("PolicyQualifierInfo");
                } while (!each.AtEnd());
            });
        information.End("PolicyInformation");
    } while (!list.AtEnd());
    return policies;
}

// GeneralSubtrees ::= SEQUENCE SIZE (1..MAX) OF GeneralSubtree
// GeneralSubtree ::= SEQUENCE {
//      base                    GeneralName,
//      minimum         [0]     BaseDistance DEFAULT 0,
//      maximum         [1]     BaseDistance OPTIONAL }
// RFC 5280 4.2.1.10: minimum is zero and maximum absent.
CGeneralNames ReadSubtrees(const CASN1Type& value) {
    CStructureReader list = ReaderOf(value, value.identifier, 0, kThisStructure);
    CGeneralNames bases;
    do {
        CStructureReader subtree = ReaderOf(list.NextAny("GeneralSubtree"), kASN1Sequence, 0, "GeneralSubtree");
        vorlan::detail::ReadGeneralName(subtree.NextAny("base"), bases.emplace_back());
        if (const CASN1Type* minimum = subtree.Optional(ASN1ContextTag(0))) {
            CASN1_INTEGER number;
            Implicit(*minimum, "minimum", number);
            unsigned long distance = 1;
            Require(number.GetInteger(distance) && distance == 0, "minimum");
        }
        Require(!subtree.Optional(ASN1ContextTag(1)), "maximum");
        subtree.End("GeneralSubtree");
    } while (!list.AtEnd());
    return bases;
}

// NameConstraints ::= SEQUENCE {
//      permittedSubtrees       [0]     GeneralSubtrees OPTIONAL,
//      excludedSubtrees        [1]     GeneralSubtrees OPTIONAL }
// One of them at least (RFC 5280 4.2.1.10).
SNameConstraints ReadNameConstraints(const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    Require(!reader.AtEnd(), "NameConstraints");
    SNameConstraints constraints;
    if (const CASN1Type* permitted = reader.Optional(ASN1ContextTag(0)))
        constraints.permitted = Within("permittedSubtrees", [&] { return ReadSubtrees(*permitted); });
    if (const CASN1Type* excluded = reader.Optional(ASN1ContextTag(1)))
        constraints.excluded = Within("excludedSubtrees", [&] { return ReadSubtrees(*excluded); });
    reader.End(kThisStructure);
    return constraints;
}

// CRLDistributionPoints ::= SEQUENCE SIZE (1..MAX) OF DistributionPoint
// DistributionPoint ::= SEQUENCE {
//      distributionPoint       [0]     DistributionPointName OPTIONAL,
//      reasons                 [1]     ReasonFlags OPTIONAL,
//      cRLIssuer               [2]     GeneralNames OPTIONAL }
// A point names where its list is or who issues it (RFC 5280 4.2.1.13).
std::vector<SDistributionPoint> ReadDistributionPoints(const CASN1Type& value) {
    CStructureReader list = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    std::vector<SDistributionPoint> points;
    do {
        CStructureReader reader = ReaderOf(list.NextAny("DistributionPoint"), kASN1Sequence, 0, "DistributionPoint");
        SDistributionPoint& point = points.emplace_back();
        const CASN1Type* name = reader.Optional(ASN1ContextTag(0));
        if (name)
            Within("distributionPoint", [&] { ReadDistributionPointName(*name, point.fullName, point.relativeName); });
        if (const CASN1Type* reasons = reader.Optional(ASN1ContextTag(1))) point.reasons = Flags(*reasons, "reasons");
        const CASN1Type* issuer = reader.Optional(ASN1ContextTag(2));
        if (issuer) Within("cRLIssuer", [&] { vorlan::detail::ReadGeneralNames(*issuer, 1, point.crlIssuer); });
        reader.End("DistributionPoint");
        Require(name || issuer, "DistributionPoint");
    } while (!list.AtEnd());
    return points;
}

// CRLNumber ::= INTEGER (0..MAX), and BaseCRLNumber ::= CRLNumber
CSerialNumber ReadCRLNumber(const CASN1Type& value) {
    const auto* number = dynamic_cast<const CASN1_INTEGER*>(&value);
    Require(number && value.identifier == kASN1Integer, "CRLNumber");
    return Number(*number, "CRLNumber");
}

// IssuingDistributionPoint ::= SEQUENCE {
//      distributionPoint          [0] DistributionPointName OPTIONAL,
//      onlyContainsUserCerts      [1] BOOLEAN DEFAULT FALSE,
//      onlyContainsCACerts        [2] BOOLEAN DEFAULT FALSE,
//      onlySomeReasons            [3] ReasonFlags OPTIONAL,
//      indirectCRL                [4] BOOLEAN DEFAULT FALSE,
//      onlyContainsAttributeCerts [5] BOOLEAN DEFAULT FALSE }
SIssuingDistributionPoint ReadIssuingDistributionPoint(const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, kThisStructure);
    SIssuingDistributionPoint point;
    if (const CASN1Type* name = reader.Optional(ASN1ContextTag(0)))
        Within("distributionPoint", [&] { ReadDistributionPointName(*name, point.fullName, point.relativeName); });
    const auto flag = [&](unsigned tag, const char* field, bool& target) {
        if (const CASN1Type* value = reader.Optional(ASN1ContextTag(tag))) {
            CASN1_BOOLEAN flag(0);
            Implicit(*value, field, flag);
            target = flag.GetBoolean();
        }
    };
    flag(1, "onlyContainsUserCerts", point.onlyContainsUserCerts);
    flag(2, "onlyContainsCACerts", point.onlyContainsCACerts);
    if (const CASN1Type* reasons = reader.Optional(ASN1ContextTag(3))) point.onlySomeReasons = Flags(*reasons, "onlySomeReasons");
    flag(4, "indirectCRL", point.indirectCRL);
    flag(5, "onlyContainsAttributeCerts", point.onlyContainsAttributeCerts);
    reader.End(kThisStructure);
    return point;
}

// CRLReason ::= ENUMERATED { unspecified (0), ..., aACompromise (10) }, 7 not used
ECRLReason ReadReasonCode(const CASN1Type& value) {
    const auto* reason = dynamic_cast<const CASN1_ENUMERATED*>(&value);
    unsigned long number = 7;
    Require(reason && reason->GetInteger(number) && number <= kAACompromise && number != 7, "CRLReason");
    return static_cast<ECRLReason>(number);
}

// InvalidityDate ::=  GeneralizedTime
CUTCTime ReadInvalidityDate(const CASN1Type& value) {
    Require(value.identifier == kASN1GeneralizedTime, "InvalidityDate");
    CUTCTime date;
    vorlan::detail::ReadTime(value, "InvalidityDate", date);
    return date;
}

// ---- The tables of the extensions each holder reads ----

template <class Target>
struct SExtensionReader {
    const char* identifier;
    const char* name;
    void (*read)(const CASN1Type& value, Target& target);
};

// Each extension of `extensions` read by its row into `target`; a critical one without a row
// goes to target.unknownCritical.
template <class Target, std::size_t N>
void ReadExtensions(const CCertificateExtensionArray& extensions, const SExtensionReader<Target> (&rows)[N],
                    Target& target) {
    Target read;
    for (int i = 0; i < extensions.GetSize(); ++i) {
        const CCertificateExtension& extension = extensions[i];
        const auto row = std::find_if(std::begin(rows), std::end(rows),
                                      [&](const auto& r) { return extension.m_strIdentifier == r.identifier; });
        if (row == std::end(rows)) {
            if (extension.m_bCritical) read.unknownCritical.push_back(extension.m_strIdentifier);
            continue;
        }
        Within(row->name, [&] { row->read(*DecodedValue(extension.m_abValue), read); });
    }
    target = std::move(read);
}

using Certificate = CCertificateExtensions;
const SExtensionReader<Certificate> kCertificateRows[] = {
    {vorlan::oid::kBasicConstraints, "basicConstraints",
     [](const CASN1Type& v, Certificate& t) { t.basicConstraints = ReadBasicConstraints(v); }},
    {vorlan::oid::kKeyUsage, "keyUsage", [](const CASN1Type& v, Certificate& t) { t.keyUsage = ReadKeyUsage(v); }},
    {vorlan::oid::kExtendedKeyUsage, "extendedKeyUsage",
     [](const CASN1Type& v, Certificate& t) { t.extendedKeyUsage = ReadIdentifiers(v); }},
    {vorlan::oid::kSubjectKeyIdentifier, "subjectKeyIdentifier",
     [](const CASN1Type& v, Certificate& t) { t.subjectKeyIdentifier = ReadKeyIdentifier(v); }},
    {vorlan::oid::kAuthorityKeyIdentifier, "authorityKeyIdentifier",
     [](const CASN1Type& v, Certificate& t) { t.authorityKeyIdentifier = ReadAuthorityKeyIdentifier(v); }},
    {vorlan::oid::kSubjectAltName, "subjectAltName",
     [](const CASN1Type& v, Certificate& t) { t.subjectAltName = ReadNames(v); }},
    {vorlan::oid::kCertificatePolicies, "certificatePolicies",
     [](const CASN1Type& v, Certificate& t) { t.certificatePolicies = ReadCertificatePolicies(v); }},
    {vorlan::oid::kNameConstraints, "nameConstraints",
     [](const CASN1Type& v, Certificate& t) { t.nameConstraints = ReadNameConstraints(v); }},
    {vorlan::oid::kCRLDistributionPoints, "cRLDistributionPoints",
     [](const CASN1Type& v, Certificate& t) { t.crlDistributionPoints = ReadDistributionPoints(v); }},
};

const SExtensionReader<CListExtensions> kListRows[] = {
    {vorlan::oid::kCRLNumber, "cRLNumber", [](const CASN1Type& v, CListExtensions& t) { t.crlNumber = ReadCRLNumber(v); }},
    {vorlan::oid::kAuthorityKeyIdentifier, "authorityKeyIdentifier",
     [](const CASN1Type& v, CListExtensions& t) { t.authorityKeyIdentifier = ReadAuthorityKeyIdentifier(v); }},
    {vorlan::oid::kIssuingDistributionPoint, "issuingDistributionPoint",
     [](const CASN1Type& v, CListExtensions& t) { t.issuingDistributionPoint = ReadIssuingDistributionPoint(v); }},
    {vorlan::oid::kDeltaCRLIndicator, "deltaCRLIndicator",
     [](const CASN1Type& v, CListExtensions& t) { t.deltaCRLIndicator = ReadCRLNumber(v); }},
};

const SExtensionReader<CEntryExtensions> kEntryRows[] = {
    {vorlan::oid::kReasonCode, "reasonCode", [](const CASN1Type& v, CEntryExtensions& t) { t.reasonCode = ReadReasonCode(v); }},
    {vorlan::oid::kInvalidityDate, "invalidityDate",
     [](const CASN1Type& v, CEntryExtensions& t) { t.invalidityDate = ReadInvalidityDate(v); }},
    {vorlan::oid::kCertificateIssuer, "certificateIssuer",
     [](const CASN1Type& v, CEntryExtensions& t) { t.certificateIssuer = ReadNames(v); }},
};

// ---- Building ----

CCertificateExtension ExtensionOf(const char* identifier, int critical, const CASN1Type& value) {
    CCertificateExtension extension;
    extension.m_strIdentifier = identifier;
    extension.m_bCritical = critical;
    value.encodeTo(extension.m_abValue);
    return extension;
}

}  // namespace

CCertificateExtensions::CCertificateExtensions(const CCertificateExtensionArray& extensions) {
    ReadExtensions(extensions, kCertificateRows, *this);
}

CListExtensions::CListExtensions(const CCertificateExtensionArray& extensions) {
    ReadExtensions(extensions, kListRows, *this);
}

CEntryExtensions::CEntryExtensions(const CCertificateExtensionArray& extensions) {
    ReadExtensions(extensions, kEntryRows, *this);
}

CCertificateExtension BasicConstraintsExtension(const SBasicConstraints& constraints) {
    CASN1_SEQUENCE value;
    if (constraints.ca) value.AddObject(new CASN1_BOOLEAN(1));  // DER leaves the default FALSE out
    if (constraints.pathLength >= 0) value.AddObject(new CASN1_INTEGER(static_cast<unsigned long>(constraints.pathLength)));
    return ExtensionOf(vorlan::oid::kBasicConstraints, 1, value);
}

CCertificateExtension KeyUsageExtension(WORD usage) {
    // DER of a named bit list: no trailing zero bits.
    BYTE octets[2] = {};
    unsigned long bits = 0;
    for (unsigned n = 0; n < 16; ++n)
        if (usage & (1u << n)) {
            octets[n / 8] = static_cast<BYTE>(octets[n / 8] | (0x80 >> (n % 8)));
            bits = n + 1;
        }
    return ExtensionOf(vorlan::oid::kKeyUsage, 1, CASN1_BIT_STRING(octets, bits, 1));
}

CCertificateExtension ExtendedKeyUsageExtension(const std::vector<CString>& purposes) {
    if (purposes.empty()) ___throwDERDecodingException("extendedKeyUsage cannot be written: no purpose");
    CASN1_SEQUENCE value;
    for (const CString& purpose : purposes) value.AddObject(vorlan::detail::NewIdentifier(purpose));
    return ExtensionOf(vorlan::oid::kExtendedKeyUsage, 0, value);
}

CCertificateExtension SubjectKeyIdentifierExtension(const CByteArray& identifier) {
    return ExtensionOf(vorlan::oid::kSubjectKeyIdentifier, 0,
                       CASN1_OCTET_STRING(identifier.GetData(), static_cast<unsigned long>(identifier.GetSize())));
}

CCertificateExtension AuthorityKeyIdentifierExtension(const CByteArray& keyIdentifier) {
    CASN1_SEQUENCE value;
    auto tagged = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(0), 0);
    CASN1_OCTET_STRING(keyIdentifier.GetData(), static_cast<unsigned long>(keyIdentifier.GetSize()))
        .buildImplicitTAGGED(*tagged);
    value.AddObject(tagged.release());
    return ExtensionOf(vorlan::oid::kAuthorityKeyIdentifier, 0, value);
}

CCertificateExtension SubjectAltNameExtension(const CGeneralNames& names) {
    return ExtensionOf(vorlan::oid::kSubjectAltName, 0, *std::unique_ptr<CASN1Type>(vorlan::detail::NewGeneralNames(names)));
}

CCertificateExtension CRLNumberExtension(const CSerialNumber& number) {
    if (number.m_bNegative) ___throwDERDecodingException("cRLNumber cannot be written: negative");
    return ExtensionOf(vorlan::oid::kCRLNumber, 0, CASN1_INTEGER(number));
}

CByteArray IssuerKeyIdentifierOf(const CCertificate& issuer) {
    CCertificateExtensionArray extensions;
    issuer.GetExtensions(extensions);
    const CCertificateExtensions values(extensions);
    return values.subjectKeyIdentifier.GetSize() > 0 ? values.subjectKeyIdentifier : KeyIdentifierOf(issuer);
}

CByteArray KeyIdentifierOf(const CCertificate& certificate) {
    CByteArray publicKey;
    if (certificate.HasECKey()) {
        publicKey = certificate.m_abKeyPoint;
    } else {
        CRSAPublicKey key;
        certificate.SetDataTo(key);
        CASN1_PublicKey(key).encodeTo(publicKey);
    }
    CSHA1DigestMaker sha1;
    sha1.UpdateBlock(publicKey.GetData(), publicKey.GetSize(), nullptr, 1, 1);
    CByteArray identifier;
    identifier.SetSize(20);
    sha1.GetCurrentDigest(identifier.GetData());
    return identifier;
}
