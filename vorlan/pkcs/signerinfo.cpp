#include "vorlan/pkcs/signerinfo.h"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/signaturealgorithm.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignerInfo, CASN1_CONSTRUCTED_TYPE)

using vorlan::detail::CPkcsWalk;
using vorlan::detail::Typed;

namespace {

constexpr BYTE kAuthenticatedTag = ASN1ContextTag(0);
constexpr BYTE kUnauthenticatedTag = ASN1ContextTag(1);

// The RSA or ECDSA signature row of a digest algorithm's identifier (MD2, MD5, SHA-1, SHA-256,
// SHA-384, SHA-512 with RSA; SHA-256, SHA-384, SHA-512 with ECDSA); null otherwise.
const vorlan::detail::SSignatureAlgorithm* RowOfDigest(const CASN1_OBJECT_IDENTIFIER& digest, bool ecdsa) {
    static const CASN1_md2 md2Id;
    static const CASN1_md5 md5Id;
    static const CASN1_sha1 sha1Id;
    static const CASN1_sha256 sha256Id;
    static const CASN1_sha384 sha384Id;
    static const CASN1_sha512 sha512Id;
    const EDigestAlgorithm algorithm = digest == md2Id      ? md2
                                       : digest == md5Id    ? md5
                                       : digest == sha1Id   ? sha1
                                       : digest == sha256Id ? sha256
                                       : digest == sha384Id ? sha384
                                       : digest == sha512Id ? sha512
                                                            : EDigestAlgorithm{};
    for (int value = 0; const vorlan::detail::SSignatureAlgorithm* row = vorlan::detail::FindSignatureAlgorithm(value);
         ++value)
        if (row->digest == algorithm && row->ecdsa == ecdsa) return row;
    return nullptr;
}

// The key algorithm a signer may name as its signature algorithm instead of the signature
// algorithm itself: rsaEncryption, or id-ecPublicKey as some producers write.
const CASN1_OBJECT_IDENTIFIER& KeyAlgorithm(const CRSAPublicKey&) {
    static const CASN1_rsaEncryption rsaEncryption;
    return rsaEncryption;
}

const CASN1_OBJECT_IDENTIFIER& KeyAlgorithm(const CECPublicKey&) {
    static const CASN1_ecPublicKey ecPublicKey;
    return ecPublicKey;
}

// The one value of the one attribute of `type` among the signed attributes, as T. Missing,
// repeated and many-valued attributes, and values of another type, are refused.
template <class T>
T& SoleValue(const CASN1_SET& attributes, const CASN1_OBJECT_IDENTIFIER& type, const char* name) {
    const CASN1_SET* values = nullptr;
    for (int i = 0; i < attributes.GetCount(); ++i) {
        const auto& attribute = Typed<CASN1_Attribute>(attributes, i, "attribute");
        if (!(attribute.GetID() == type)) continue;
        if (values || attribute.GetValues().GetCount() != 1)
            ___throwDERDecodingException("the %s attribute is not one value", name);
        values = &attribute.GetValues();
    }
    if (!values) ___throwDERDecodingException("no %s attribute", name);
    auto* value = dynamic_cast<T*>(&const_cast<CASN1Type&>(values->GetComponent(0)));
    if (!value) ___throwDERDecodingException("the %s attribute is of another type", name);
    return *value;
}

// SignerInfo ::= SEQUENCE {
//      version Version,
//      issuerAndSerialNumber IssuerAndSerialNumber,
//      digestAlgorithm DigestAlgorithmIdentifier,
//      authenticatedAttributes [0] IMPLICIT Attributes OPTIONAL,
//      digestEncryptionAlgorithm DigestEncryptionAlgorithmIdentifier,
//      encryptedDigest EncryptedDigest,
//      unauthenticatedAttributes [1] IMPLICIT Attributes OPTIONAL }
struct SSignerInfo {
    const CASN1Type *issuerAndSerialNumber, *digestAlgorithm, *authenticatedAttributes, *digestEncryptionAlgorithm,
        *encryptedDigest, *unauthenticatedAttributes;
};

SSignerInfo WalkSignerInfo(const CASN1Type& value, int anyTag = 1, bool check = false) {
    CPkcsWalk walk(value, anyTag, "SignerInfo", check);
    walk.Version(1, "SignerInfo is not valid (cannot get version number)");
    return walk.Ended(SSignerInfo{
        .issuerAndSerialNumber = &walk.Checked(CASN1_IssuerAndSerialNumber::isValid, "issuerAndSerialNumber"),
        .digestAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "digestAlgorithm"),
        .authenticatedAttributes =
            walk.OptionalSetOf(kAuthenticatedTag, CASN1_Attribute::isValid, "authenticatedAttributes"),
        .digestEncryptionAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "digestEncryptionAlgorithm"),
        .encryptedDigest = &walk.Next(kASN1OctetString, "encryptedDigest"),
        .unauthenticatedAttributes =
            walk.OptionalSetOf(kUnauthenticatedTag, CASN1_Attribute::isValid, "unauthenticatedAttributes")});
}

}  // namespace

CASN1_SignerInfo::CASN1_SignerInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber,
                                   CASN1_AlgorithmIdentifier* digestAlgorithm,
                                   CASN1_AlgorithmIdentifier* digestEncryptionAlgorithm,
                                   CASN1_OCTET_STRING* encryptedDigest) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(1), issuerAndSerialNumber, digestAlgorithm,
                              digestEncryptionAlgorithm, encryptedDigest);
}

int CASN1_SignerInfo::IsAuthenticatedAttributes() const {
    return WalkSignerInfo(*this).authenticatedAttributes != nullptr;
}

int CASN1_SignerInfo::IsUnauthenticatedAttributes() const {
    return WalkSignerInfo(*this).unauthenticatedAttributes != nullptr;
}

CASN1_SET* CASN1_SignerInfo::GetAuthenticatedAttributes(int clearAfterGet) {
    return vorlan::detail::SetFromImplicit(*this, WalkSignerInfo(*this).authenticatedAttributes, clearAfterGet,
                                           "SignerInfo has no authenticated attributes");
}

CASN1_SET* CASN1_SignerInfo::GetUnauthenticatedAttributes(int clearAfterGet) {
    return vorlan::detail::SetFromImplicit(*this, WalkSignerInfo(*this).unauthenticatedAttributes, clearAfterGet,
                                           "SignerInfo has no unauthenticated attributes");
}

void CASN1_SignerInfo::SetAuthenticatedAttributes(const CASN1_SET& attributes) {
    const std::unique_ptr<CASN1_SET> sorted(vorlan::detail::NewSortedCopy(attributes));
    const SSignerInfo fields = WalkSignerInfo(*this);
    vorlan::detail::PutComponent(*this, fields.authenticatedAttributes, *fields.digestEncryptionAlgorithm,
                                 vorlan::detail::NewImplicitSet(kAuthenticatedTag, *sorted));
}

void CASN1_SignerInfo::GetAuthenticatedAttributesEncoding(CByteArray& out) const {
    const std::unique_ptr<CASN1_SET> set(const_cast<CASN1_SignerInfo*>(this)->GetAuthenticatedAttributes(0));
    set->encodeTo(out);
}

CASN1_IssuerAndSerialNumber& CASN1_SignerInfo::GetIssuerAndSerialNumber() const {
    return Typed<CASN1_IssuerAndSerialNumber>(*this, WalkSignerInfo(*this).issuerAndSerialNumber,
                                              "SignerInfo.issuerAndSerialNumber");
}

CASN1_AlgorithmIdentifier& CASN1_SignerInfo::GetDigestAlgorithm() const {
    return Typed<CASN1_AlgorithmIdentifier>(*this, WalkSignerInfo(*this).digestAlgorithm, "SignerInfo.digestAlgorithm");
}

CASN1_AlgorithmIdentifier& CASN1_SignerInfo::GetDigestEncyptionAlgorithm() const {
    return Typed<CASN1_AlgorithmIdentifier>(*this, WalkSignerInfo(*this).digestEncryptionAlgorithm,
                                            "SignerInfo.digestEncryptionAlgorithm");
}

CASN1_OCTET_STRING& CASN1_SignerInfo::GetEncryptedDigest() const {
    return Typed<CASN1_OCTET_STRING>(*this, WalkSignerInfo(*this).encryptedDigest, "SignerInfo.encryptedDigest");
}

int CASN1_SignerInfo::IsSignatureOKFor(const CRSAPublicKey& key, const CASN1_OBJECT_IDENTIFIER& contentType,
                                       const unsigned char* contentDigest, int length) const {
    return IsSignatureOKForKey(key, contentType, contentDigest, length);
}

int CASN1_SignerInfo::IsSignatureOKFor(const CCertificate& signer, const CASN1_OBJECT_IDENTIFIER& contentType,
                                       const unsigned char* contentDigest, int length) const {
    if (!signer.HasECKey()) {
        CRSAPublicKey key;
        signer.SetDataTo(key);
        return IsSignatureOKFor(key, contentType, contentDigest, length);
    }
    try {
        return IsSignatureOKForKey(signer.GetECPublicKey(), contentType, contentDigest, length);
    } catch (CUnlockException* e) {
        e->Delete();
        return vorlan::detail::Passes([] { vorlan::detail::RequireCheckable(false); });
    }
}

template <class Key>
int CASN1_SignerInfo::IsSignatureOKForKey(const Key& key, const CASN1_OBJECT_IDENTIFIER& contentType,
                                          const unsigned char* contentDigest, int length) const {
    constexpr bool ecdsa = std::is_same_v<Key, CECPublicKey>;
    static const CASN1_data data;
    static const CASN1_contentType contentTypeAttribute;
    static const CASN1_messageDigest messageDigestAttribute;
    return vorlan::detail::Passes([&] {
        const auto& digestAlgorithm = Typed<CASN1_OBJECT_IDENTIFIER>(GetDigestAlgorithm(), 0, "algorithm");
        const auto* digestRow = RowOfDigest(digestAlgorithm, false);
        if (!digestRow || length != digestRow->digestSize) ___throwDERDecodingException("unknown digest");
        const auto* row = ecdsa ? RowOfDigest(digestAlgorithm, true) : digestRow;
        const auto& encryption = Typed<CASN1_OBJECT_IDENTIFIER>(GetDigestEncyptionAlgorithm(), 0, "algorithm");
        if (!row || (!(encryption == KeyAlgorithm(key)) && !(encryption == row->identifier())))
            ___throwDERDecodingException(ecdsa ? "signature algorithm is not ECDSA with the signer's digest"
                                               : "signature algorithm is not RSA with the signer's digest");
        unsigned char digest[vorlan::detail::kMaxSignatureDigestSize];
        std::copy(contentDigest, contentDigest + length, digest);
        if (IsAuthenticatedAttributes()) {
            // The signature covers the attributes, so they must name this content and its digest.
            const std::unique_ptr<CASN1_SET> set(const_cast<CASN1_SignerInfo*>(this)->GetAuthenticatedAttributes(0));
            if (!(SoleValue<CASN1_OBJECT_IDENTIFIER>(*set, contentTypeAttribute, "contentType") == contentType))
                ___throwDERDecodingException("signed content type differs");
            CByteArray stated;
            SoleValue<CASN1_OCTET_STRING>(*set, messageDigestAttribute, "messageDigest").GetClearData(stated, 1);
            if (stated.GetSize() != length || !std::equal(digest, digest + length, stated.GetData()))
                ___throwDERDecodingException("message digest differs");
            CByteArray covered;
            set->encodeTo(covered);
            vorlan::detail::DigestOctets(*row, {covered.GetData(), static_cast<std::size_t>(covered.GetSize())},
                                         digest);
        } else if (!(contentType == data)) {
            ___throwDERDecodingException("content other than data signed without attributes");
        }
        CByteArray signature;
        GetEncryptedDigest().GetClearData(signature, 1);
        vorlan::detail::RequireSignature(*row, key, {signature.GetData(), static_cast<std::size_t>(signature.GetSize())},
                                         digest);
    });
}

int CASN1_SignerInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkSignerInfo, value, anyTag);
}
