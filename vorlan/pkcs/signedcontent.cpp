#include "vorlan/pkcs/signedcontent.h"

#include "vorlan/pkcs/pkcsstructure.h"
#include <memory>


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
    return vorlan::detail::Typed<CASN1_SET>(*this, digestAlgorithmsIndex(), "digestAlgorithms");
}

CASN1_SET& CASN1_SignedContent::GetSignerInfos() const {
    return vorlan::detail::Typed<CASN1_SET>(*this, GetCount() - 1, "signerInfos");
}

CASN1_SignerInfo& CASN1_SignedContent::GetSignerInfo(int index) const {
    return vorlan::detail::Typed<CASN1_SignerInfo>(GetSignerInfos(), index, "signerInfo");
}

int CASN1_SignedContent::IsCertificates() const {
    return GetCount() > certificatesIndex() + 1 && vorlan::detail::HasTagAt(*this, certificatesIndex(), kCertificatesTag);
}

int CASN1_SignedContent::IsCRLs() const {
    return GetCount() > crlsIndex() + 1 && vorlan::detail::HasTagAt(*this, crlsIndex(), kCRLsTag);
}

CASN1_SET* CASN1_SignedContent::GetCertificates(int clearAfterGet) {
    if (!IsCertificates()) ___throwDERDecodingException("no certificates");
    return vorlan::detail::SetFromImplicit(*this, certificatesIndex(), clearAfterGet);
}

CASN1_SET* CASN1_SignedContent::GetCRLs(int clearAfterGet) {
    if (!IsCRLs()) ___throwDERDecodingException("no certificate revocation lists");
    return vorlan::detail::SetFromImplicit(*this, crlsIndex(), clearAfterGet);
}

void CASN1_SignedContent::SetCertificates(CASN1_SET& certificates) {
    CASN1_TAGGED* tagged = vorlan::detail::NewImplicitSet(kCertificatesTag, certificates);
    if (IsCertificates()) {
        delete m_components[certificatesIndex()];
        m_components[certificatesIndex()] = tagged;
    } else {
        m_components.InsertAt(certificatesIndex(), tagged);
    }
}

void vorlan::detail::CheckSignedTail(CStructureReader& reader, const CASN1Type& digestAlgorithms,
                                     const char* structure) {
    if (const CASN1Type* certificates = reader.Optional(kCertificatesTag))
        CheckSetOf(*certificates, 1, isBagElement, "certificates");
    if (const CASN1Type* crls = reader.Optional(kCRLsTag)) CheckSetOf(*crls, 1, isBagElement, "crls");
    const CASN1Type& signerInfos = reader.Next(kASN1Set, "signerInfos");
    CheckSetOf(signerInfos, 0, CASN1_SignerInfo::isValid, "signerInfos");
    if (dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(signerInfos).GetCount() > 0 &&
        dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(digestAlgorithms).GetCount() == 0)
        ___throwDERDecodingException("%s has signers but no digestAlgorithms", structure);
    reader.End(structure);
}
