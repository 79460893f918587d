#include "vorlan/pkcs/certificationrequest.h"

#include <memory>
#include <span>

#include "vorlan/asn1/integer.h"
#include "vorlan/pkcs/attribute.h"
#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/signaturealgorithm.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificationRequestInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificationRequest, CASN1_CONSTRUCTED_TYPE)

using vorlan::detail::Typed;

namespace {

constexpr BYTE kAttributesTag = ASN1ContextTag(0);
constexpr int kSha1WithRSA = 2;

// CertificationRequestInfo ::= SEQUENCE {
//      version       INTEGER { v1(0) } (v1,...),
//      subject       Name,
//      subjectPKInfo SubjectPublicKeyInfo{{ PKInfoAlgorithms }},
//      attributes    [0] Attributes{{ CRIAttributes }} }
struct SCertificationRequestInfo {
    const CASN1Type *subject, *subjectPKInfo, *attributes;
};

SCertificationRequestInfo WalkCertificationRequestInfo(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "CertificationRequestInfo", check);
    walk.Version(0, "CertificationRequestInfo is not valid (cannot get version number)");
    return walk.Ended(SCertificationRequestInfo{
        .subject = &walk.Checked(CASN1_RDNSequence::isValid, "subject"),
        .subjectPKInfo = &walk.Checked(CASN1_SubjectPublicKeyInfo::isValid, "subjectPublicKeyInfo"),
        .attributes = &walk.SetOf(kAttributesTag, CASN1_Attribute::isValid, "attributes")});
}

// CertificationRequest ::= SEQUENCE {
//      certificationRequestInfo CertificationRequestInfo,
//      signatureAlgorithm AlgorithmIdentifier{{ SignatureAlgorithms }},
//      signature          BIT STRING }
struct SCertificationRequest {
    const CASN1Type *certificationRequestInfo, *signatureAlgorithm, *signature;
};

SCertificationRequest WalkCertificationRequest(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "CertificationRequest", check);
    const CASN1Type& info = walk.Checked(CASN1_CertificationRequestInfo::isValid, "certificationRequestInfo");
    // A request being made holds its information alone until it is signed.
    if (!check && walk.AtEnd()) return {&info, nullptr, nullptr};
    return walk.Ended(SCertificationRequest{
        .certificationRequestInfo = &info,
        .signatureAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "signatureAlgorithm"),
        .signature = &walk.Next(kASN1BitString, "signature")});
}

}  // namespace

CASN1_CertificationRequestInfo::CASN1_CertificationRequestInfo(CASN1_RDNSequence* subject,
                                                               CASN1_SubjectPublicKeyInfo* key, CASN1_SET& attributes) {
    std::unique_ptr<CASN1_RDNSequence> ownedSubject(subject);
    std::unique_ptr<CASN1_SubjectPublicKeyInfo> ownedKey(key);
    const std::unique_ptr<CASN1_SET> sorted(vorlan::detail::NewSortedCopy(attributes));
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(0ul), ownedSubject.release(), ownedKey.release(),
                              vorlan::detail::NewImplicitSet(kAttributesTag, *sorted));
}

CASN1_RDNSequence& CASN1_CertificationRequestInfo::GetSubject() const {
    return Typed<CASN1_RDNSequence>(*this, WalkCertificationRequestInfo(*this).subject,
                                    "CertificationRequestInfo.subject");
}

CASN1_SubjectPublicKeyInfo& CASN1_CertificationRequestInfo::GetSubjectPublicKeyInfo() const {
    return Typed<CASN1_SubjectPublicKeyInfo>(*this, WalkCertificationRequestInfo(*this).subjectPKInfo,
                                             "CertificationRequestInfo.subjectPublicKeyInfo");
}

CASN1_SET* CASN1_CertificationRequestInfo::GetAttributes() const {
    return vorlan::detail::SetFromImplicit(*this, WalkCertificationRequestInfo(*this).attributes, 0, "no attributes");
}

int CASN1_CertificationRequestInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkCertificationRequestInfo, value, anyTag);
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info,
                                                       CASN1_AlgorithmIdentifier* algorithm,
                                                       CASN1_BIT_STRING* signature) {
    vorlan::detail::AppendAll(*this, info, algorithm, signature);
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info,
                                                       const CRSAPrivateKey& key) {
    AddObject(info);
    SignWith(key);
}

CASN1_CertificationRequest::CASN1_CertificationRequest(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, "CertificationRequest contents is not valid");
}

CASN1_CertificationRequestInfo& CASN1_CertificationRequest::GetCertificationRequestInfo() const {
    return Typed<CASN1_CertificationRequestInfo>(*this, WalkCertificationRequest(*this).certificationRequestInfo,
                                                 "CertificationRequest.certificationRequestInfo");
}

CASN1_AlgorithmIdentifier& CASN1_CertificationRequest::GetSignatureAlgorithm() const {
    return Typed<CASN1_AlgorithmIdentifier>(*this, WalkCertificationRequest(*this).signatureAlgorithm,
                                            "CertificationRequest.signatureAlgorithm");
}

CASN1_BIT_STRING& CASN1_CertificationRequest::GetSignature() const {
    return Typed<CASN1_BIT_STRING>(*this, WalkCertificationRequest(*this).signature, "CertificationRequest.signature");
}

void CASN1_CertificationRequest::SignWith(const CRSAPrivateKey& key) { SignWith(key, kSha1WithRSA); }

void CASN1_CertificationRequest::SignWith(const CRSAPrivateKey& key, int algorithm) {
    const vorlan::detail::SSignatureAlgorithm& row = vorlan::detail::SigningAlgorithm(algorithm);
    unsigned char digest[vorlan::detail::kMaxSignatureDigestSize];
    vorlan::detail::DigestEncoding(row, GetCertificationRequestInfo(), digest);
    CByteArray signature;
    key.LockDigest(row.digest, digest, signature);
    auto identifier = std::unique_ptr<CASN1_AlgorithmIdentifier>(vorlan::detail::NewAlgorithmIdentifier(row));
    auto bits = std::make_unique<CASN1_BIT_STRING>(signature.GetData(),
                                                   8ul * static_cast<unsigned long>(signature.GetSize()), 1);
    const SCertificationRequest fields = WalkCertificationRequest(*this);
    for (const CASN1Type* old : {fields.signatureAlgorithm, fields.signature})
        if (old) vorlan::detail::RemoveComponent(*this, *old, true);
    vorlan::detail::AppendAll(*this, identifier.release(), bits.release());
}

int CASN1_CertificationRequest::IsSignatureOK() const {
    return vorlan::detail::Passes([&] {
        const auto& identifier = Typed<CASN1_OBJECT_IDENTIFIER>(GetSignatureAlgorithm(), 0, "algorithm");
        const vorlan::detail::SSignatureAlgorithm* row = vorlan::detail::FindSignatureAlgorithm(identifier);
        const CASN1_BIT_STRING& signature = GetSignature();
        vorlan::detail::RequireCheckable(row && signature.m_dwBits % 8 == 0);
        // The request's key, RSA or EC, read as a certificate's is.
        CCertificate holder;
        GetCertificationRequestInfo().GetSubjectPublicKeyInfo().SetDataTo(holder);
        unsigned char digest[vorlan::detail::kMaxSignatureDigestSize];
        vorlan::detail::DigestEncoding(*row, GetCertificationRequestInfo(), digest);
        CByteArray octets;
        const_cast<CASN1_BIT_STRING&>(signature).GetClearData(octets, 1);
        const std::span<const BYTE> signatureOctets(octets.GetData(), static_cast<std::size_t>(octets.GetSize()));
        if (holder.HasECKey()) {
            vorlan::detail::RequireSignature(*row, holder.GetECPublicKey(), signatureOctets, digest);
        } else {
            CRSAPublicKey key;
            holder.SetDataTo(key);
            vorlan::detail::RequireSignature(*row, key, signatureOctets, digest);
        }
    });
}

int CASN1_CertificationRequest::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkCertificationRequest, value, anyTag);
}
