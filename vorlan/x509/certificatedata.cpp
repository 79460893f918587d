#include "vorlan/x509/certificatedata.h"

#include <memory>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/subjectpublickeyinfo.h"
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

void CheckName(vorlan::detail::CStructureReader& reader, const char* field) {
    vorlan::detail::Require(CASN1_RDNSequence::isValid(&reader.Next(kASN1Sequence, field), 0), field);
}

int FirstFieldIndex(const CASN1_CONSTRUCTED_TYPE& data) {
    return data.GetCount() > 0 && data.GetComponent(0).identifier == kVersionTag ? 1 : 0;
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
    certificate = read;
}

const CASN1_RDNSequence& CASN1_CertificateData::GetIssuer() const {
    return vorlan::detail::TypedComponent<CASN1_RDNSequence>(*this, FirstFieldIndex(*this) + 2, "issuer");
}

const CASN1_RDNSequence& CASN1_CertificateData::GetSubject() const {
    return vorlan::detail::TypedComponent<CASN1_RDNSequence>(*this, FirstFieldIndex(*this) + 4, "subject");
}

const CASN1_INTEGER& CASN1_CertificateData::GetSerialNumber() const {
    const auto* serial = dynamic_cast<const CASN1_INTEGER*>(&GetComponent(FirstFieldIndex(*this)));
    vorlan::detail::Require(serial != nullptr, "serialNumber");
    return *serial;
}

int CASN1_CertificateData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckCertificateData(*value, anyTag); });
}

namespace vorlan::detail {

void CheckCertificateData(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    unsigned long version = 0;
    if (const CASN1Type* tagged = reader.Optional(kVersionTag)) Require(ReadVersionNumber(*tagged, version), "version");
    reader.Next(kASN1Integer, "serialNumber");
    CheckField(reader, kASN1Sequence, "signature", CheckAlgorithmIdentifier);
    CheckName(reader, "issuer");
    CheckField(reader, kASN1Sequence, "validity", CheckValidity);
    CheckName(reader, "subject");
    CheckField(reader, kASN1Sequence, "subjectPublicKeyInfo", CheckSubjectPublicKeyInfo);
    if (version >= 1)
        for (const auto& unique : kUniqueIdentifiers)
            if (const CASN1Type* bits = reader.Optional(unique.tag)) Require(IsImplicitBitString(*bits), unique.field);
    if (version == 2) reader.Optional(kExtensionsTag);
    reader.End(kThisStructure);
}

void ReadCertificateData(const CASN1Type& value, CCertificate& certificate) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "TBSCertificate");
    unsigned long version = 0;
    if (const CASN1Type* tagged = reader.Optional(kVersionTag); tagged && !ReadVersionNumber(*tagged, version))
        ___throwDERDecodingException("Cannot decode certificate data (Invalid version number)");
    certificate.m_bVersion = static_cast<BYTE>(version);

    const auto* serial = dynamic_cast<const CASN1_INTEGER*>(&reader.Next(kASN1Integer, "serialNumber"));
    Require(serial != nullptr, "serialNumber");
    Reading("serialNumber", [&] { certificate.m_serialNumber = static_cast<CSerialNumber>(*serial); });

    certificate.m_nSignatureAlgorithm =
        ReadSignatureAlgorithm(reader.Next(kASN1Sequence, "signature"),
                               "CASN1_CertificateData::SetDataTo - unknown signature algorithm")
            .value;

    const CASN1Type& issuer = reader.Next(kASN1Sequence, "issuer");
    Reading("issuer", [&] { CASN1_RDNSequence::Read(issuer, certificate.m_issuer); });
    ReadValidity(reader.Next(kASN1Sequence, "validity"), certificate);
    const CASN1Type& subject = reader.Next(kASN1Sequence, "subject");
    Reading("subject", [&] { CASN1_RDNSequence::Read(subject, certificate.m_subject); });
    CRSAPublicKey key;
    ReadSubjectPublicKeyInfo(reader.Next(kASN1Sequence, "subjectPublicKeyInfo"), key);
    certificate.GetDataFrom(key);
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
    } catch (CDERDecodingException*) {
        data.clear();
        throw;
    }
}

}  // namespace vorlan::detail
