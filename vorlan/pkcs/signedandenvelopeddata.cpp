#include "vorlan/pkcs/signedandenvelopeddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignedAndEnvelopedData, CASN1_CONSTRUCTED_TYPE)

using vorlan::detail::Typed;

namespace {

constexpr const char* kInvalid = "SignedAndEnvelopedData contents is not valid";

struct SSignedAndEnvelopedData : vorlan::detail::SSignedParts {
    const CASN1Type *recipientInfos, *encryptedContentInfo;
};

// SignedAndEnvelopedData ::= SEQUENCE {
//      version Version,
//      recipientInfos RecipientInfos,
//      digestAlgorithms DigestAlgorithmIdentifiers,
//      encryptedContentInfo EncryptedContentInfo,
//      certificates [0] IMPLICIT ExtendedCertificatesAndCertificates OPTIONAL,
//      crls [1] IMPLICIT CertificateRevocationLists OPTIONAL,
//      signerInfos SignerInfos }
SSignedAndEnvelopedData WalkSignedAndEnvelopedData(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "SignedAndEnvelopedData", check);
    walk.Version(1, "SignedAndEnvelopedData is not valid (cannot get version number)");
    SSignedAndEnvelopedData fields{};
    fields.recipientInfos = &walk.SetOf(kASN1Set, CASN1_RecipientInfo::isValid, "recipientInfos");
    fields.digestAlgorithms = &walk.SetOf(kASN1Set, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithms");
    fields.encryptedContentInfo = &walk.Checked(CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo");
    vorlan::detail::WalkSignedTail(walk, fields, "SignedAndEnvelopedData");
    return fields;
}

}  // namespace

CASN1_SignedAndEnvelopedData::CASN1_SignedAndEnvelopedData(CASN1_EncryptedContentInfo* content) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(1), new CASN1_SET, new CASN1_SET, content, new CASN1_SET);
}

CASN1_SignedAndEnvelopedData::CASN1_SignedAndEnvelopedData(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalid);
}

CASN1_SignedAndEnvelopedData::CASN1_SignedAndEnvelopedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_signedAndEnvelopedData(), isValid, kInvalid);
}

void CASN1_SignedAndEnvelopedData::AddRecipientInfo(CASN1_RecipientInfo* recipientInfo) {
    std::unique_ptr<CASN1_RecipientInfo> owned(recipientInfo);
    GetRecipientInfos().AddObject(owned.release());
}

CASN1_SET& CASN1_SignedAndEnvelopedData::GetRecipientInfos() const {
    return Typed<CASN1_SET>(*this, WalkSignedAndEnvelopedData(*this).recipientInfos,
                            "SignedAndEnvelopedData.recipientInfos");
}

CASN1_RecipientInfo& CASN1_SignedAndEnvelopedData::GetRecipientInfo(int index) const {
    return Typed<CASN1_RecipientInfo>(GetRecipientInfos(), index, "recipientInfo");
}

CASN1_EncryptedContentInfo& CASN1_SignedAndEnvelopedData::GetEncryptedContentInfo() const {
    return Typed<CASN1_EncryptedContentInfo>(*this, WalkSignedAndEnvelopedData(*this).encryptedContentInfo,
                                             "SignedAndEnvelopedData.encryptedContentInfo");
}

vorlan::detail::SSignedParts CASN1_SignedAndEnvelopedData::signedParts() const {
    return WalkSignedAndEnvelopedData(*this);
}

int CASN1_SignedAndEnvelopedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkSignedAndEnvelopedData, value, anyTag);
}
