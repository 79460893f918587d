#include "vorlan/pkcs/envelopeddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EncryptedContentInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RecipientInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EnvelopedData, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EncryptedData, CASN1_CONSTRUCTED_TYPE)

using vorlan::detail::CPkcsWalk;
using vorlan::detail::Typed;

namespace {

constexpr BYTE kEncryptedContentTag = ASN1ContextTag(0);
constexpr const char* kInvalidEnveloped = "EnvelopedData contents is not valid";
constexpr const char* kInvalidEncrypted = "EncryptedData contents is not valid";

// EncryptedContentInfo ::= SEQUENCE {
//      contentType ContentType,
//      contentEncryptionAlgorithm ContentEncryptionAlgorithmIdentifier,
//      encryptedContent [0] IMPLICIT EncryptedContent OPTIONAL }
struct SEncryptedContentInfo {
    const CASN1Type *contentType, *contentEncryptionAlgorithm, *encryptedContent;
};

SEncryptedContentInfo WalkEncryptedContentInfo(const CASN1Type& value, int anyTag = 1, bool check = false) {
    CPkcsWalk walk(value, anyTag, "EncryptedContentInfo", check);
    return walk.Ended(SEncryptedContentInfo{
        .contentType = &walk.Next(kASN1ObjectIdentifier, "contentType"),
        .contentEncryptionAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "contentEncryptionAlgorithm"),
        .encryptedContent = walk.Optional(kEncryptedContentTag)});
}

// The one [0] IMPLICIT component of encrypted content; owns `content`.
CASN1_TAGGED* NewEncryptedContent(CASN1_TAGGED* content) {
    std::unique_ptr<CASN1_TAGGED> owned(content);
    if (!content || content->identifier == kEncryptedContentTag) return owned.release();
    auto tagged = std::make_unique<CASN1_TAGGED>(kEncryptedContentTag, 0);
    content->buildImplicitTAGGED(*tagged);
    return tagged.release();
}

// RecipientInfo ::= SEQUENCE {
//      version Version,
//      issuerAndSerialNumber IssuerAndSerialNumber,
//      keyEncryptionAlgorithm KeyEncryptionAlgorithmIdentifier,
//      encryptedKey EncryptedKey }
struct SRecipientInfo {
    const CASN1Type *issuerAndSerialNumber, *keyEncryptionAlgorithm, *encryptedKey;
};

SRecipientInfo WalkRecipientInfo(const CASN1Type& value, int anyTag = 1, bool check = false) {
    CPkcsWalk walk(value, anyTag, "RecipientInfo", check);
    walk.Version(0, "RecipientInfo is not valid (cannot get version number)");
    return walk.Ended(SRecipientInfo{
        .issuerAndSerialNumber = &walk.Checked(CASN1_IssuerAndSerialNumber::isValid, "issuerAndSerialNumber"),
        .keyEncryptionAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "keyEncryptionAlgorithm"),
        .encryptedKey = &walk.Next(kASN1OctetString, "encryptedKey")});
}

// EnvelopedData ::= SEQUENCE {
//      version Version,
//      recipientInfos RecipientInfos,
//      encryptedContentInfo EncryptedContentInfo }
struct SEnvelopedData {
    const CASN1Type *recipientInfos, *encryptedContentInfo;
};

SEnvelopedData WalkEnvelopedData(const CASN1Type& value, int anyTag = 1, bool check = false) {
    CPkcsWalk walk(value, anyTag, "EnvelopedData", check);
    walk.Version(0, "EnvelopedData is not valid (cannot get version number)");
    return walk.Ended(SEnvelopedData{
        .recipientInfos = &walk.SetOf(kASN1Set, CASN1_RecipientInfo::isValid, "recipientInfos"),
        .encryptedContentInfo = &walk.Checked(CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo")});
}

// EncryptedData ::= SEQUENCE {
//      version Version,
//      encryptedContentInfo EncryptedContentInfo }
const CASN1Type& WalkEncryptedData(const CASN1Type& value, int anyTag = 1, bool check = false) {
    CPkcsWalk walk(value, anyTag, "EncryptedData", check);
    walk.Version(0, "EncryptedData is not valid (cannot get version number)");
    const CASN1Type& encryptedContentInfo = walk.Checked(CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo");
    walk.End();
    return encryptedContentInfo;
}

}  // namespace

CASN1_EncryptedContentInfo::CASN1_EncryptedContentInfo(CASN1_OBJECT_IDENTIFIER* contentType,
                                                       CASN1_AlgorithmIdentifier* algorithm,
                                                       CASN1_TAGGED* encryptedContent) {
    std::unique_ptr<CASN1_OBJECT_IDENTIFIER> ownedType(contentType);
    std::unique_ptr<CASN1_AlgorithmIdentifier> ownedAlgorithm(algorithm);
    CASN1_TAGGED* tagged = NewEncryptedContent(encryptedContent);
    vorlan::detail::AppendAll(*this, ownedType.release(), ownedAlgorithm.release(), tagged);
}

CASN1_OBJECT_IDENTIFIER& CASN1_EncryptedContentInfo::GetContentType() const {
    return Typed<CASN1_OBJECT_IDENTIFIER>(*this, WalkEncryptedContentInfo(*this).contentType,
                                          "EncryptedContentInfo.contentType");
}

CASN1_AlgorithmIdentifier& CASN1_EncryptedContentInfo::GetContentEncryptionAlgorithm() const {
    return Typed<CASN1_AlgorithmIdentifier>(*this, WalkEncryptedContentInfo(*this).contentEncryptionAlgorithm,
                                            "EncryptedContentInfo.contentEncryptionAlgorithm");
}

int CASN1_EncryptedContentInfo::IsEncryptedContent() const {
    return WalkEncryptedContentInfo(*this).encryptedContent != nullptr;
}

CASN1_TAGGED& CASN1_EncryptedContentInfo::GetEncryptedContent() const {
    return Typed<CASN1_TAGGED>(*this, WalkEncryptedContentInfo(*this).encryptedContent,
                               "EncryptedContentInfo.encryptedContent");
}

void CASN1_EncryptedContentInfo::ReleaseContent() {
    if (const CASN1Type* content = WalkEncryptedContentInfo(*this).encryptedContent)
        vorlan::detail::RemoveComponent(*this, *content, false);
}

int CASN1_EncryptedContentInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkEncryptedContentInfo, value, anyTag);
}

CASN1_RecipientInfo::CASN1_RecipientInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber,
                                         CASN1_AlgorithmIdentifier* keyEncryptionAlgorithm,
                                         CASN1_OCTET_STRING* encryptedKey) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(0ul), issuerAndSerialNumber, keyEncryptionAlgorithm,
                              encryptedKey);
}

CASN1_IssuerAndSerialNumber& CASN1_RecipientInfo::GetIssuerAndSerialNumber() const {
    return Typed<CASN1_IssuerAndSerialNumber>(*this, WalkRecipientInfo(*this).issuerAndSerialNumber,
                                              "RecipientInfo.issuerAndSerialNumber");
}

CASN1_AlgorithmIdentifier& CASN1_RecipientInfo::GetKeyEncryptionAlgorithm() const {
    return Typed<CASN1_AlgorithmIdentifier>(*this, WalkRecipientInfo(*this).keyEncryptionAlgorithm,
                                            "RecipientInfo.keyEncryptionAlgorithm");
}

CASN1_OCTET_STRING& CASN1_RecipientInfo::GetEncryptedKey() const {
    return Typed<CASN1_OCTET_STRING>(*this, WalkRecipientInfo(*this).encryptedKey, "RecipientInfo.encryptedKey");
}

int CASN1_RecipientInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkRecipientInfo, value, anyTag);
}

CASN1_EnvelopedData::CASN1_EnvelopedData(CASN1_EncryptedContentInfo* content) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(0ul), new CASN1_SET, content);
}

CASN1_EnvelopedData::CASN1_EnvelopedData(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidEnveloped);
}

CASN1_EnvelopedData::CASN1_EnvelopedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_envelopedData(), isValid, kInvalidEnveloped);
}

void CASN1_EnvelopedData::AddRecipientInfo(CASN1_RecipientInfo* recipientInfo) {
    std::unique_ptr<CASN1_RecipientInfo> owned(recipientInfo);
    GetRecipientInfos().AddObject(owned.release());
}

CASN1_SET& CASN1_EnvelopedData::GetRecipientInfos() const {
    return Typed<CASN1_SET>(*this, WalkEnvelopedData(*this).recipientInfos, "EnvelopedData.recipientInfos");
}

CASN1_RecipientInfo& CASN1_EnvelopedData::GetRecipientInfo(int index) const {
    return Typed<CASN1_RecipientInfo>(GetRecipientInfos(), index, "recipientInfo");
}

CASN1_EncryptedContentInfo& CASN1_EnvelopedData::GetEncryptedContentInfo() const {
    return Typed<CASN1_EncryptedContentInfo>(*this, WalkEnvelopedData(*this).encryptedContentInfo,
                                             "EnvelopedData.encryptedContentInfo");
}

int CASN1_EnvelopedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkEnvelopedData, value, anyTag);
}

CASN1_EncryptedData::CASN1_EncryptedData(CASN1_EncryptedContentInfo* content) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(0ul), content);
}

CASN1_EncryptedData::CASN1_EncryptedData(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidEncrypted);
}

CASN1_EncryptedData::CASN1_EncryptedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_encryptedData(), isValid, kInvalidEncrypted);
}

CASN1_EncryptedContentInfo& CASN1_EncryptedData::GetEncryptedContentInfo() const {
    return Typed<CASN1_EncryptedContentInfo>(*this, &WalkEncryptedData(*this), "EncryptedData.encryptedContentInfo");
}

int CASN1_EncryptedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkEncryptedData, value, anyTag);
}
