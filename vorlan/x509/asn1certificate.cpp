#include "vorlan/x509/asn1certificate.h"

#include <memory>
#include <utility>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/structurecheck.h"

CASN1_Certificate::CASN1_Certificate(const CASN1_Certificate& other) : CASN1_Certificate() { *this = other; }

CASN1Type* CASN1_Certificate::clone() const { return vorlan::detail::cloneValue(*this, new CASN1_Certificate); }

CASN1Type* CASN1_Certificate::cloneAndDie() { return vorlan::detail::cloneAndDieValue(*this, new CASN1_Certificate); }

int CASN1_Certificate::moveFrom(CASN1Type* source) {
    const int moved = moveSigned(*this, source);
    if (moved) typeParts();
    return moved;
}

// The parts the const accessors reach are typed at once, while one thread owns the value:
// the accessors then only read, so threads may share a decoded certificate.
void CASN1_Certificate::typeParts() {
    vorlan::detail::Passes([this] {
        GetIssuer();
        GetSubject();
    });
}

CASN1_Certificate::CASN1_Certificate(CASN1_CertificateData* data, CASN1_AlgorithmIdentifier* algorithm,
                                     CASN1_BIT_STRING* signature)
    : CASN1_SignedStructure(data, algorithm, signature) {}

CASN1_Certificate::CASN1_Certificate(const CCertificate& certificate) { GetDataFrom(certificate); }

CASN1_Certificate::CASN1_Certificate(CDEREncoding& der) {
    decodeChecked(der, vorlan::detail::CheckCertificate, "Certificate", "Certificate contents is not valid");
    typeParts();
}

void CASN1_Certificate::GetDataFrom(const CCertificate& certificate) {
    clear();
    appendSigned(std::make_unique<CASN1_CertificateData>(certificate), certificate, "Certificate");
}

void CASN1_Certificate::SetDataTo(CCertificate& certificate) const {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*this, kASN1Sequence, 1, "Certificate");
    const CASN1Type& data = reader.Next(kASN1Sequence, "tbsCertificate");
    CCertificate read;
    vorlan::detail::ReadCertificateData(data, read);
    readSignature(reader, data, read, "Certificate contents is not valid", "Invalid Certificate's signature");
    read.m_abReceived = m_abReceived;
    certificate = std::move(read);
}

const CASN1_RDNSequence& CASN1_Certificate::GetIssuer() const {
    return vorlan::detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetIssuer();
}

const CASN1_RDNSequence& CASN1_Certificate::GetSubject() const {
    return vorlan::detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetSubject();
}

const CASN1_INTEGER& CASN1_Certificate::GetSerialNumber() const {
    return vorlan::detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetSerialNumber();
}

int CASN1_Certificate::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckCertificate(*value, anyTag); });
}

void vorlan::detail::CheckCertificate(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    CheckField(reader, kASN1Sequence, "tbsCertificate", CheckCertificateData);
    CheckField(reader, kASN1Sequence, "signatureAlgorithm", CheckAlgorithmIdentifier);
    reader.Next(kASN1BitString, "signature");
    reader.End(kThisStructure);
}

void SerializeElements(CArchive& ar, CASN1_Certificate* elements, int count) {
    for (int i = 0; i < count; ++i) {
        elements[i]._Serialize(ar);
        if (ar.IsLoading() && !CASN1_Certificate::isValid(elements + i, 0)) {
            elements[i].clear();
            AfxThrowArchiveException(CArchiveException::generic);
        }
    }
}
