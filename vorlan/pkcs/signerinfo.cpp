#include "vorlan/pkcs/signerinfo.h"

#include <algorithm>
#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/x509/signaturealgorithm.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignerInfo, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr BYTE kAuthenticatedTag = ASN1ContextTag(0);
constexpr BYTE kUnauthenticatedTag = ASN1ContextTag(1);

// The signature row of a digest algorithm's identifier (MD2, MD5, SHA-1, SHA-256); null otherwise.
const detail::SSignatureAlgorithm* RowOfDigest(const CASN1_OBJECT_IDENTIFIER& digest) {
    static const CASN1_md2 md2Id;
    static const CASN1_md5 md5Id;
    static const CASN1_sha1 sha1Id;
    static const CASN1_sha256 sha256Id;
    const EDigestAlgorithm algorithm = digest == md2Id      ? md2
                                       : digest == md5Id    ? md5
                                       : digest == sha1Id   ? sha1
                                       : digest == sha256Id ? sha256
                                                            : EDigestAlgorithm{};
    for (int value = 0; const detail::SSignatureAlgorithm* row = detail::FindSignatureAlgorithm(value); ++value)
        if (row->digest == algorithm) return row;
    return nullptr;
}

// The octets of the one value of the messageDigest attribute; empty when there is none.
CByteArray MessageDigestOf(const CASN1_SET& attributes) {
    static const CASN1_messageDigest type;
    CByteArray octets;
    for (int i = 0; i < attributes.GetCount(); ++i) {
        const auto& attribute = detail::Typed<CASN1_Attribute>(attributes, i, "attribute");
        if (!(attribute.GetID() == type) || attribute.GetValues().GetCount() != 1) continue;
        const CASN1Type& value = attribute.GetValues().GetComponent(0);
        if (value.identifier == kASN1OctetString) const_cast<CASN1Type&>(value).GetClearData(octets, 1);
    }
    return octets;
}

}  // namespace

CASN1_SignerInfo::CASN1_SignerInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber,
                                   CASN1_AlgorithmIdentifier* digestAlgorithm,
                                   CASN1_AlgorithmIdentifier* digestEncryptionAlgorithm,
                                   CASN1_OCTET_STRING* encryptedDigest) {
    std::unique_ptr<CASN1Type> owned[] = {
        std::unique_ptr<CASN1Type>(issuerAndSerialNumber), std::unique_ptr<CASN1Type>(digestAlgorithm),
        std::unique_ptr<CASN1Type>(digestEncryptionAlgorithm), std::unique_ptr<CASN1Type>(encryptedDigest)};
    AddObject(new CASN1_INTEGER(1));
    for (auto& component : owned) AddObject(component.release());
}

int CASN1_SignerInfo::IsAuthenticatedAttributes() const {
    return GetCount() >= 6 && detail::HasTagAt(*this, 3, kAuthenticatedTag);
}

int CASN1_SignerInfo::IsUnauthenticatedAttributes() const {
    const int at = afterAttributes() + 2;
    return GetCount() > at && detail::HasTagAt(*this, at, kUnauthenticatedTag);
}

CASN1_SET* CASN1_SignerInfo::GetAuthenticatedAttributes(int clearAfterGet) {
    if (!IsAuthenticatedAttributes()) ___throwDERDecodingException("SignerInfo has no authenticated attributes");
    return detail::SetFromImplicit(*this, 3, clearAfterGet);
}

CASN1_SET* CASN1_SignerInfo::GetUnauthenticatedAttributes(int clearAfterGet) {
    if (!IsUnauthenticatedAttributes()) ___throwDERDecodingException("SignerInfo has no unauthenticated attributes");
    return detail::SetFromImplicit(*this, afterAttributes() + 2, clearAfterGet);
}

void CASN1_SignerInfo::SetAuthenticatedAttributes(const CASN1_SET& attributes) {
    const std::unique_ptr<CASN1_SET> sorted(detail::NewSortedCopy(attributes));
    CASN1_TAGGED* tagged = detail::NewImplicitSet(kAuthenticatedTag, *sorted);
    if (IsAuthenticatedAttributes()) {
        delete m_components[3];
        m_components[3] = tagged;
    } else {
        m_components.InsertAt(3, tagged);
    }
}

void CASN1_SignerInfo::GetAuthenticatedAttributesEncoding(CByteArray& out) const {
    const std::unique_ptr<CASN1_SET> set(const_cast<CASN1_SignerInfo*>(this)->GetAuthenticatedAttributes(0));
    set->encodeTo(out);
}

CASN1_IssuerAndSerialNumber& CASN1_SignerInfo::GetIssuerAndSerialNumber() const {
    return detail::Typed<CASN1_IssuerAndSerialNumber>(*this, 1, "SignerInfo.issuerAndSerialNumber");
}

CASN1_AlgorithmIdentifier& CASN1_SignerInfo::GetDigestAlgorithm() const {
    return detail::Typed<CASN1_AlgorithmIdentifier>(*this, 2, "SignerInfo.digestAlgorithm");
}

CASN1_AlgorithmIdentifier& CASN1_SignerInfo::GetDigestEncyptionAlgorithm() const {
    return detail::Typed<CASN1_AlgorithmIdentifier>(*this, afterAttributes(), "SignerInfo.digestEncryptionAlgorithm");
}

CASN1_OCTET_STRING& CASN1_SignerInfo::GetEncryptedDigest() const {
    return detail::Typed<CASN1_OCTET_STRING>(*this, afterAttributes() + 1, "SignerInfo.encryptedDigest");
}

int CASN1_SignerInfo::IsSignatureOKFor(const CRSAPublicKey& key, const unsigned char* contentDigest, int length) const {
    return detail::Passes([&] {
        const auto* row = RowOfDigest(detail::Typed<CASN1_OBJECT_IDENTIFIER>(GetDigestAlgorithm(), 0, "algorithm"));
        if (!row || length != row->digestSize) ___throwDERDecodingException("unknown digest");
        unsigned char digest[detail::kMaxSignatureDigestSize];
        std::copy(contentDigest, contentDigest + length, digest);
        if (IsAuthenticatedAttributes()) {
            const std::unique_ptr<CASN1_SET> set(const_cast<CASN1_SignerInfo*>(this)->GetAuthenticatedAttributes(0));
            const CByteArray stated = MessageDigestOf(*set);
            if (stated.GetSize() != length || !std::equal(digest, digest + length, stated.GetData()))
                ___throwDERDecodingException("message digest differs");
            CByteArray covered;
            set->encodeTo(covered);
            detail::DigestOctets(*row, {covered.GetData(), static_cast<std::size_t>(covered.GetSize())}, digest);
        }
        CByteArray signature;
        GetEncryptedDigest().GetClearData(signature, 1);
        if (!detail::IsSignatureOK(*row, key, {signature.GetData(), static_cast<std::size_t>(signature.GetSize())},
                                   digest))
            ___throwDERDecodingException("signature differs");
    });
}

int CASN1_SignerInfo::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] {
        using namespace detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "SignerInfo");
        CheckVersion(reader, 1, "SignerInfo is not valid (cannot get version number)");
        CheckNext(reader, CASN1_IssuerAndSerialNumber::isValid, "issuerAndSerialNumber");
        CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithm");
        if (const CASN1Type* signedAttributes = reader.Optional(kAuthenticatedTag))
            CheckSetOf(*signedAttributes, 1, CASN1_Attribute::isValid, "authenticatedAttributes");
        CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "digestEncryptionAlgorithm");
        reader.Next(kASN1OctetString, "encryptedDigest");
        if (const CASN1Type* unsignedAttributes = reader.Optional(kUnauthenticatedTag))
            CheckSetOf(*unsignedAttributes, 1, CASN1_Attribute::isValid, "unauthenticatedAttributes");
        reader.End("SignerInfo");
    });
}
