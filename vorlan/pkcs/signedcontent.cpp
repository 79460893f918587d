#include "vorlan/pkcs/signedcontent.h"

#include <memory>

#include "vorlan/pkcs/pkcsstructure.h"

namespace {

constexpr BYTE kCertificatesTag = ASN1ContextTag(0);
constexpr BYTE kCRLsTag = ASN1ContextTag(1);

// An element of the certificates or crls bag (RFC 5652 CertificateChoices, RevocationInfoChoice):
// a SEQUENCE or a constructed context-specific choice. Its inside is the reader's concern, so
// that one odd certificate or list is kept as received and does not make the message unreadable.
int isBagElement(const CASN1Type* value, int) {
    return value->m_bConstructed &&
           (value->identifier == kASN1Sequence || (value->identifier & kASN1ClassMask) == kASN1ContextSpecific);
}

}  // namespace

void CASN1_SignedContent::AddDigestAlgorithmIdentifier(CASN1_AlgorithmIdentifier* algorithm) {
    std::unique_ptr<CASN1_AlgorithmIdentifier> owned(algorithm);
    CASN1_SET& algorithms = GetDigestAlgorithms();
    const auto& wanted = vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*algorithm, 0, "algorithm");
    for (int i = 0; i < algorithms.GetCount(); ++i) {
        const auto& present = vorlan::detail::Typed<CASN1_AlgorithmIdentifier>(algorithms, i, "digestAlgorithm");
        if (vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(present, 0, "algorithm") == wanted) return;
    }
    algorithms.AddObject(owned.release());
}

void CASN1_SignedContent::AddSignerInfo(CASN1_SignerInfo* signerInfo) {
    std::unique_ptr<CASN1_SignerInfo> owned(signerInfo);
    AddDigestAlgorithmIdentifier(static_cast<CASN1_AlgorithmIdentifier*>(signerInfo->GetDigestAlgorithm().clone()));
    GetSignerInfos().AddObject(owned.release());
}

CASN1_SET& CASN1_SignedContent::GetDigestAlgorithms() const {
    return vorlan::detail::Typed<CASN1_SET>(*this, signedParts().digestAlgorithms, "digestAlgorithms");
}

CASN1_SET& CASN1_SignedContent::GetSignerInfos() const {
    return vorlan::detail::Typed<CASN1_SET>(*this, signedParts().signerInfos, "signerInfos");
}

CASN1_SignerInfo& CASN1_SignedContent::GetSignerInfo(int index) const {
    return vorlan::detail::Typed<CASN1_SignerInfo>(GetSignerInfos(), index, "signerInfo");
}

int CASN1_SignedContent::IsCertificates() const { return signedParts().certificates != nullptr; }

int CASN1_SignedContent::IsCRLs() const { return signedParts().crls != nullptr; }

CASN1_SET* CASN1_SignedContent::GetCertificates(int clearAfterGet) {
    return vorlan::detail::SetFromImplicit(*this, signedParts().certificates, clearAfterGet, "no certificates");
}

CASN1_SET* CASN1_SignedContent::GetCRLs(int clearAfterGet) {
    return vorlan::detail::SetFromImplicit(*this, signedParts().crls, clearAfterGet, "no certificate revocation lists");
}

void CASN1_SignedContent::SetCertificates(CASN1_SET& certificates) {
    const vorlan::detail::SSignedParts parts = signedParts();
    vorlan::detail::PutComponent(*this, parts.certificates, parts.crls ? *parts.crls : *parts.signerInfos,
                                 vorlan::detail::NewImplicitSet(kCertificatesTag, certificates));
}

//      certificates [0] IMPLICIT ExtendedCertificatesAndCertificates OPTIONAL,
//      crls [1] IMPLICIT CertificateRevocationLists OPTIONAL,
//      signerInfos SignerInfos }
void vorlan::detail::WalkSignedTail(CPkcsWalk& walk, SSignedParts& parts, const char* structure) {
    parts.certificates = walk.OptionalSetOf(kCertificatesTag, isBagElement, "certificates");
    parts.crls = walk.OptionalSetOf(kCRLsTag, isBagElement, "crls");
    parts.signerInfos = &walk.SetOf(kASN1Set, CASN1_SignerInfo::isValid, "signerInfos");
    if (walk.Checks() && dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(*parts.signerInfos).GetCount() > 0 &&
        dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(*parts.digestAlgorithms).GetCount() == 0)
        ___throwDERDecodingException("%s has signers but no digestAlgorithms", structure);
    walk.End();
}
