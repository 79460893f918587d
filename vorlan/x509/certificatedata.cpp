#include "vorlan/x509/certificatedata.h"

#include <memory>
#include <utility>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/subjectpublickeyinfo.h"
#include "vorlan/x509/times.h"
#include "vorlan/x509/validity.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificateData, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr BYTE kVersionTag = ASN1ContextTag(0);
constexpr BYTE kExtensionsTag = ASN1ContextTag(3);
constexpr struct {
    BYTE tag;
    const char* field;
} kUniqueIdentifiers[] = {{ASN1ContextTag(1), "issuerUniqueID"}, {ASN1ContextTag(2), "subjectUniqueID"}};
constexpr unsigned long kMaxVersion = 2;  // version 3

// The number of an explicit version: a constructed [0] around one INTEGER of up to 32 bits.
bool ReadVersionNumber(const CASN1Type& tagged, unsigned long& number) {
    const auto* wrapper = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&tagged);
    if (!wrapper || !tagged.m_bConstructed || wrapper->GetCount() != 1) return false;
    const auto* integer = dynamic_cast<const CASN1_INTEGER*>(wrapper->GetComponents()[0]);
    return integer && integer->identifier == kASN1Integer && integer->GetInteger(number) && number <= kMaxVersion;
}

// An implicitly tagged BIT STRING reads as one.
bool IsImplicitBitString(const CASN1Type& value) {
    auto* tagged = dynamic_cast<CASN1_TAGGED*>(const_cast<CASN1Type*>(&value));
    CASN1_BIT_STRING bits;
    return tagged && vorlan::detail::Passes([&] { vorlan::detail::Require(bits.fromImplicit(*tagged), "BIT STRING"); });
}

void CheckName(const CASN1Type& name, const char* field) {
    vorlan::detail::Require(CASN1_RDNSequence::isValid(&name, 0), field);
}

// The walk of a value the library decoded or built: its components are known to be in place.
vorlan::detail::STBSCertificate Fields(const CASN1Type& value) {
    return vorlan::detail::WalkTBSCertificate(value, 1, "TBSCertificate", nullptr);
}

}  // namespace

CASN1_CertificateData::CASN1_CertificateData(const CCertificate& certificate) { GetDataFrom(certificate); }

void CASN1_CertificateData::GetDataFrom(const CCertificate& certificate) {
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(certificate.m_nSignatureAlgorithm);
    if (!algorithm)
        ___throwDERDecodingException("CertificateData cannot be written: unknown signature algorithm %d",
                                     certificate.m_nSignatureAlgorithm);
    vorlan::detail::BuildCertificateData(*this, certificate, *algorithm);
}

void CASN1_CertificateData::SetDataTo(CCertificate& certificate) const {
    CCertificate read(certificate);
    read.ForgetSignedPart();
    vorlan::detail::ReadCertificateData(*this, read);
    certificate = std::move(read);
}

const CASN1_RDNSequence& CASN1_CertificateData::GetIssuer() const {
    return vorlan::detail::TypedComponent<CASN1_RDNSequence>(*this, *Fields(*this).issuer, "issuer");
}

const CASN1_RDNSequence& CASN1_CertificateData::GetSubject() const {
    return vorlan::detail::TypedComponent<CASN1_RDNSequence>(*this, *Fields(*this).subject, "subject");
}

const CASN1_INTEGER& CASN1_CertificateData::GetSerialNumber() const { return *Fields(*this).serialNumber; }

void CASN1_CertificateData::GetExtensions(CCertificateExtensionArray& extensions) const {
    vorlan::detail::ReadCertificateExtensions(*this, extensions);
}

int CASN1_CertificateData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckCertificateData(*value, anyTag); });
}

namespace vorlan::detail {

// TBSCertificate  ::=  SEQUENCE  {
//      version         [0]  EXPLICIT Version DEFAULT v1,
//      serialNumber         CertificateSerialNumber,
//      signature            AlgorithmIdentifier,
//      issuer               Name,
//      validity             Validity,
//      subject              Name,
//      subjectPublicKeyInfo SubjectPublicKeyInfo,
//      issuerUniqueID  [1]  IMPLICIT UniqueIdentifier OPTIONAL,  -- v2 or v3
//      subjectUniqueID [2]  IMPLICIT UniqueIdentifier OPTIONAL,  -- v2 or v3
//      extensions      [3]  EXPLICIT Extensions OPTIONAL  }      -- v3
STBSCertificate WalkTBSCertificate(const CASN1Type& value, int anyTag, const char* structure, const char* badVersion) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, structure);
    STBSCertificate fields;
    if (const CASN1Type* tagged = reader.Optional(kVersionTag); tagged && !ReadVersionNumber(*tagged, fields.version)) {
        if (badVersion) ___throwDERDecodingException("%s", badVersion);
        Require(false, "version");
    }
    fields.serialNumber = &NextOf<CASN1_INTEGER>(reader, kASN1Integer, "serialNumber");
    fields.signature = &reader.Next(kASN1Sequence, "signature");
    fields.issuer = &reader.Next(kASN1Sequence, "issuer");
    fields.validity = &reader.Next(kASN1Sequence, "validity");
    fields.subject = &reader.Next(kASN1Sequence, "subject");
    fields.subjectPublicKeyInfo = &reader.Next(kASN1Sequence, "subjectPublicKeyInfo");
    if (fields.version >= 1)
        for (int i = 0; i < 2; ++i) fields.uniqueIdentifiers[i] = reader.Optional(kUniqueIdentifiers[i].tag);
    if (fields.version == 2) fields.extensions = reader.Optional(kExtensionsTag);
    reader.End(structure);
    return fields;
}

void CheckCertificateData(const CASN1Type& value, int anyTag) {
    const STBSCertificate fields = WalkTBSCertificate(value, anyTag, kThisStructure, nullptr);
    Within("signature", [&] { CheckAlgorithmIdentifier(*fields.signature, 0); });
    CheckName(*fields.issuer, "issuer");
    Within("validity", [&] { CheckValidity(*fields.validity, 0); });
    CheckName(*fields.subject, "subject");
    Within("subjectPublicKeyInfo", [&] { CheckSubjectPublicKeyInfo(*fields.subjectPublicKeyInfo, 0); });
    for (int i = 0; i < 2; ++i)
        if (fields.uniqueIdentifiers[i])
            Require(IsImplicitBitString(*fields.uniqueIdentifiers[i]), kUniqueIdentifiers[i].field);
}

void ReadCertificateData(const CASN1Type& value, CCertificate& certificate) {
    const STBSCertificate fields =
        WalkTBSCertificate(value, 1, "TBSCertificate", "Cannot decode certificate data (Invalid version number)");
    certificate.m_bVersion = static_cast<BYTE>(fields.version);
    Reading("serialNumber", [&] { certificate.m_serialNumber = static_cast<CSerialNumber>(*fields.serialNumber); });
    certificate.m_nSignatureAlgorithm =
        ReadSignatureAlgorithm(*fields.signature, "CASN1_CertificateData::SetDataTo - unknown signature algorithm")
            .value;
    Reading("issuer", [&] { CASN1_RDNSequence::Read(*fields.issuer, certificate.m_issuer); });
    ReadValidity(*fields.validity, certificate);
    Reading("subject", [&] { CASN1_RDNSequence::Read(*fields.subject, certificate.m_subject); });
    ReadSubjectPublicKeyInfo(*fields.subjectPublicKeyInfo, certificate);
    // A malformed list reads as none: GetExtensions refuses it from the received octets.
    Passes([&] { ReadCertificateExtensions(value, certificate.m_extensions); });
}

void ReadCertificateExtensions(const CASN1Type& value, CCertificateExtensionArray& extensions) {
    extensions.RemoveAll();
    if (const CASN1Type* tagged = Fields(value).extensions)
        Within("extensions", [&] { ReadTaggedExtensions(*tagged, kExtensionsTag, "[3]", extensions); });
}

void BuildCertificateData(CASN1_CertificateData& data, const CCertificate& certificate,
                          const SSignatureAlgorithm& algorithm) {
    data.clear();
    try {
        if (certificate.m_bVersion > kMaxVersion)
            ___throwDERDecodingException("CertificateData cannot be written: version %d", certificate.m_bVersion);
        if (certificate.m_bVersion != 0) {
            auto version = std::make_unique<CASN1_TAGGED>(kVersionTag, 0);
            version->AddObject(new CASN1_INTEGER(certificate.m_bVersion));
            data.AddObject(version.release());
        }
        data.AddObject(new CASN1_INTEGER(certificate.m_serialNumber));
        data.AddObject(NewAlgorithmIdentifier(algorithm));
        data.AddObject(new CASN1_RDNSequence(certificate.m_issuer));
        data.AddObject(new CASN1_Validity(certificate));
        data.AddObject(new CASN1_RDNSequence(certificate.m_subject));
        data.AddObject(new CASN1_SubjectPublicKeyInfo(certificate));
        if (certificate.m_extensions.GetSize() > 0) {
            if (certificate.m_bVersion != kMaxVersion)
                ___throwDERDecodingException("CertificateData cannot be written: version %d with extensions",
                                             certificate.m_bVersion + 1);
            auto tagged = std::make_unique<CASN1_TAGGED>(kExtensionsTag, 0);
            tagged->AddObject(NewExtensionList(certificate.m_extensions));
            data.AddObject(tagged.release());
        }
    } catch (CDERDecodingException*) {
        data.clear();
        throw;
    }
}

}  // namespace vorlan::detail
