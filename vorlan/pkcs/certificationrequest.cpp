#include "vorlan/pkcs/certificationrequest.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/pkcs/attribute.h"
#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/x509/signaturealgorithm.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificationRequestInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificationRequest, CASN1_CONSTRUCTED_TYPE)

namespace {
constexpr BYTE kAttributesTag = ASN1ContextTag(0);
constexpr int kSha1WithRSA = 2;
}  // namespace

CASN1_CertificationRequestInfo::CASN1_CertificationRequestInfo(CASN1_RDNSequence* subject,
                                                               CASN1_SubjectPublicKeyInfo* key, CASN1_SET& attributes) {
    std::unique_ptr<CASN1_RDNSequence> ownedSubject(subject);
    std::unique_ptr<CASN1_SubjectPublicKeyInfo> ownedKey(key);
    const std::unique_ptr<CASN1_SET> sorted(detail::NewSortedCopy(attributes));
    AddObject(new CASN1_INTEGER(0ul));
    AddObject(ownedSubject.release());
    AddObject(ownedKey.release());
    AddObject(detail::NewImplicitSet(kAttributesTag, *sorted));
}

CASN1_RDNSequence& CASN1_CertificationRequestInfo::GetSubject() const {
    return detail::Typed<CASN1_RDNSequence>(*this, 1, "CertificationRequestInfo.subject");
}

CASN1_SubjectPublicKeyInfo& CASN1_CertificationRequestInfo::GetSubjectPublicKeyInfo() const {
    return detail::Typed<CASN1_SubjectPublicKeyInfo>(*this, 2, "CertificationRequestInfo.subjectPublicKeyInfo");
}

CASN1_SET* CASN1_CertificationRequestInfo::GetAttributes() const { return detail::SetFromImplicit(*this, 3, 0); }

int CASN1_CertificationRequestInfo::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] {
        using namespace detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "CertificationRequestInfo");
        CheckVersion(reader, 0, "CertificationRequestInfo is not valid (cannot get version number)");
        CheckNext(reader, CASN1_RDNSequence::isValid, "subject");
        CheckNext(reader, CASN1_SubjectPublicKeyInfo::isValid, "subjectPublicKeyInfo");
        CheckSetOf(reader.Next(kAttributesTag, "attributes"), 1, CASN1_Attribute::isValid, "attributes");
        reader.End("CertificationRequestInfo");
    });
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info,
                                                       CASN1_AlgorithmIdentifier* algorithm,
                                                       CASN1_BIT_STRING* signature) {
    std::unique_ptr<CASN1Type> owned[] = {std::unique_ptr<CASN1Type>(info), std::unique_ptr<CASN1Type>(algorithm),
                                          std::unique_ptr<CASN1Type>(signature)};
    for (auto& component : owned) AddObject(component.release());
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info,
                                                       const CRSAPrivateKey& key) {
    AddObject(info);
    SignWith(key);
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CDEREncoding& der) {
    detail::DecodeChecked(*this, der, isValid, "CertificationRequest contents is not valid");
}

CASN1_CertificationRequestInfo& CASN1_CertificationRequest::GetCertificationRequestInfo() const {
    return detail::Typed<CASN1_CertificationRequestInfo>(*this, 0, "CertificationRequest.certificationRequestInfo");
}

CASN1_AlgorithmIdentifier& CASN1_CertificationRequest::GetSignatureAlgorithm() const {
    return detail::Typed<CASN1_AlgorithmIdentifier>(*this, 1, "CertificationRequest.signatureAlgorithm");
}

CASN1_BIT_STRING& CASN1_CertificationRequest::GetSignature() const {
    return detail::Typed<CASN1_BIT_STRING>(*this, 2, "CertificationRequest.signature");
}

void CASN1_CertificationRequest::SignWith(const CRSAPrivateKey& key) { SignWith(key, kSha1WithRSA); }

void CASN1_CertificationRequest::SignWith(const CRSAPrivateKey& key, int algorithm) {
    const detail::SSignatureAlgorithm& row = detail::SigningAlgorithm(algorithm);
    unsigned char digest[detail::kMaxSignatureDigestSize];
    detail::DigestEncoding(row, GetCertificationRequestInfo(), digest);
    CByteArray signature;
    key.LockDigest(row.digest, digest, signature);
    auto identifier = std::unique_ptr<CASN1_AlgorithmIdentifier>(detail::NewAlgorithmIdentifier(row));
    auto bits = std::make_unique<CASN1_BIT_STRING>(signature.GetData(),
                                                   8ul * static_cast<unsigned long>(signature.GetSize()), 1);
    while (GetCount() > 1) {
        m_components.RemoveAt(GetCount() - 1);  // deletes it
    }
    AddObject(identifier.release());
    AddObject(bits.release());
}

int CASN1_CertificationRequest::IsSignatureOK() const {
    return detail::Passes([&] {
        const auto& identifier = detail::Typed<CASN1_OBJECT_IDENTIFIER>(GetSignatureAlgorithm(), 0, "algorithm");
        const detail::SSignatureAlgorithm* row = detail::FindSignatureAlgorithm(identifier);
        const CASN1_BIT_STRING& signature = GetSignature();
        if (!row || signature.m_dwBits % 8 != 0) ___throwDERDecodingException("signature not checkable");
        CRSAPublicKey key;
        GetCertificationRequestInfo().GetSubjectPublicKeyInfo().SetDataTo(key);
        unsigned char digest[detail::kMaxSignatureDigestSize];
        detail::DigestEncoding(*row, GetCertificationRequestInfo(), digest);
        CByteArray octets;
        const_cast<CASN1_BIT_STRING&>(signature).GetClearData(octets, 1);
        if (!detail::IsSignatureOK(*row, key, {octets.GetData(), static_cast<std::size_t>(octets.GetSize())}, digest))
            ___throwDERDecodingException("signature differs");
    });
}

int CASN1_CertificationRequest::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] {
        using namespace detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "CertificationRequest");
        CheckNext(reader, CASN1_CertificationRequestInfo::isValid, "certificationRequestInfo");
        CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "signatureAlgorithm");
        reader.Next(kASN1BitString, "signature");
        reader.End("CertificationRequest");
    });
}
