#include "vorlan/x509/asn1crl.h"

#include <memory>
#include <utility>

#include "vorlan/x509/certificaterevocationlist.h"

namespace {

void CheckCRL(const CASN1Type& value, int anyTag) {
    detail::CStructureReader reader = detail::ReaderOf(value, kASN1Sequence, anyTag, detail::kThisStructure);
    detail::CheckField(reader, kASN1Sequence, "tbsCertList", detail::CheckCRLData);
    detail::CheckField(reader, kASN1Sequence, "signatureAlgorithm", detail::CheckAlgorithmIdentifier);
    const auto* signature = dynamic_cast<const CASN1_BIT_STRING*>(&reader.Next(kASN1BitString, "signature"));
    detail::Require(signature && signature->m_dwBits % 8 == 0, "signature");
    reader.End(detail::kThisStructure);
}

}  // namespace

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(const CASN1_CertificateRevocationList& other)
    : CASN1_CertificateRevocationList() {
    *this = other;
}

CASN1Type* CASN1_CertificateRevocationList::clone() const {
    return detail::cloneValue(*this, new CASN1_CertificateRevocationList);
}

CASN1Type* CASN1_CertificateRevocationList::cloneAndDie() {
    return detail::cloneAndDieValue(*this, new CASN1_CertificateRevocationList);
}

int CASN1_CertificateRevocationList::moveFrom(CASN1Type* source) { return moveSigned(*this, source); }

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(CASN1_CertificateRevocationListData* data,
                                                                 CASN1_AlgorithmIdentifier* algorithm,
                                                                 CASN1_BIT_STRING* signature)
    : CASN1_SignedStructure(data, algorithm, signature) {}

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(const CCertificateRevocationList& crl) {
    GetDataFrom(crl);
}

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(CDEREncoding& der) {
    decodeChecked(der, CheckCRL, "CertificateList", "CRL contents is not valid");
}

void CASN1_CertificateRevocationList::GetDataFrom(const CCertificateRevocationList& crl) {
    clear();
    appendSigned(std::make_unique<CASN1_CertificateRevocationListData>(crl), crl, "CRL");
}

void CASN1_CertificateRevocationList::SetDataTo(CCertificateRevocationList& crl) const {
    detail::CStructureReader reader = detail::ReaderOf(*this, kASN1Sequence, 1, "CertificateList");
    const CASN1Type& data = reader.Next(kASN1Sequence, "tbsCertList");
    CCertificateRevocationList read;
    detail::ReadCRLData(data, read);
    readSignature(reader, data, read, "CRL contents is not valid (cannot get signature)");
    crl = std::move(read);
}

int CASN1_CertificateRevocationList::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] { CheckCRL(*value, anyTag); });
}
