#include "vorlan/pkcs/envelopeddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EncryptedContentInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RecipientInfo, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EnvelopedData, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_EncryptedData, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr BYTE kEncryptedContentTag = ASN1ContextTag(0);
constexpr const char* kInvalidEnveloped = "EnvelopedData contents is not valid";
constexpr const char* kInvalidEncrypted = "EncryptedData contents is not valid";

// Appends the given components in order, owning all of them whatever happens.
template <class... Components>
void AppendAll(CASN1_CONSTRUCTED_TYPE& self, Components*... components) {
    std::unique_ptr<CASN1Type> owned[] = {std::unique_ptr<CASN1Type>(components)...};
    for (auto& component : owned)
        if (component) self.AddObject(component.release());
}

}  // namespace

CASN1_TAGGED* vorlan::detail::NewEncryptedContent(CASN1_TAGGED* content) {
    std::unique_ptr<CASN1_TAGGED> owned(content);
    if (!content || content->identifier == kEncryptedContentTag) return owned.release();
    auto tagged = std::make_unique<CASN1_TAGGED>(kEncryptedContentTag, 0);
    content->buildImplicitTAGGED(*tagged);
    return tagged.release();
}

CASN1_EncryptedContentInfo::CASN1_EncryptedContentInfo(CASN1_OBJECT_IDENTIFIER* contentType,
                                                       CASN1_AlgorithmIdentifier* algorithm,
                                                       CASN1_TAGGED* encryptedContent) {
    std::unique_ptr<CASN1_OBJECT_IDENTIFIER> ownedType(contentType);
    std::unique_ptr<CASN1_AlgorithmIdentifier> ownedAlgorithm(algorithm);
    CASN1_TAGGED* tagged = vorlan::detail::NewEncryptedContent(encryptedContent);
    AppendAll(*this, ownedType.release(), ownedAlgorithm.release(), tagged);
}

CASN1_OBJECT_IDENTIFIER& CASN1_EncryptedContentInfo::GetContentType() const {
    return vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*this, 0, "EncryptedContentInfo.contentType");
}

CASN1_AlgorithmIdentifier& CASN1_EncryptedContentInfo::GetContentEncryptionAlgorithm() const {
    return vorlan::detail::Typed<CASN1_AlgorithmIdentifier>(*this, 1, "EncryptedContentInfo.contentEncryptionAlgorithm");
}

int CASN1_EncryptedContentInfo::IsEncryptedContent() const { return GetCount() == 3; }

CASN1_TAGGED& CASN1_EncryptedContentInfo::GetEncryptedContent() const {
    return vorlan::detail::Typed<CASN1_TAGGED>(*this, 2, "EncryptedContentInfo.encryptedContent");
}

void CASN1_EncryptedContentInfo::ReleaseContent() {
    if (IsEncryptedContent()) m_components.RemoveAt(2);
}

int CASN1_EncryptedContentInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "EncryptedContentInfo");
        reader.Next(kASN1ObjectIdentifier, "contentType");
        vorlan::detail::CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "contentEncryptionAlgorithm");
        reader.Optional(kEncryptedContentTag);
        reader.End("EncryptedContentInfo");
    });
}

CASN1_RecipientInfo::CASN1_RecipientInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber,
                                         CASN1_AlgorithmIdentifier* keyEncryptionAlgorithm,
                                         CASN1_OCTET_STRING* encryptedKey) {
    AppendAll(*this, new CASN1_INTEGER(0ul), issuerAndSerialNumber, keyEncryptionAlgorithm, encryptedKey);
}

CASN1_IssuerAndSerialNumber& CASN1_RecipientInfo::GetIssuerAndSerialNumber() const {
    return vorlan::detail::Typed<CASN1_IssuerAndSerialNumber>(*this, 1, "RecipientInfo.issuerAndSerialNumber");
}

CASN1_AlgorithmIdentifier& CASN1_RecipientInfo::GetKeyEncryptionAlgorithm() const {
    return vorlan::detail::Typed<CASN1_AlgorithmIdentifier>(*this, 2, "RecipientInfo.keyEncryptionAlgorithm");
}

CASN1_OCTET_STRING& CASN1_RecipientInfo::GetEncryptedKey() const {
    return vorlan::detail::Typed<CASN1_OCTET_STRING>(*this, 3, "RecipientInfo.encryptedKey");
}

int CASN1_RecipientInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "RecipientInfo");
        CheckVersion(reader, 0, "RecipientInfo is not valid (cannot get version number)");
        CheckNext(reader, CASN1_IssuerAndSerialNumber::isValid, "issuerAndSerialNumber");
        CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "keyEncryptionAlgorithm");
        reader.Next(kASN1OctetString, "encryptedKey");
        reader.End("RecipientInfo");
    });
}

CASN1_EnvelopedData::CASN1_EnvelopedData(CASN1_EncryptedContentInfo* content) {
    AppendAll(*this, new CASN1_INTEGER(0ul), new CASN1_SET, content);
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
    return vorlan::detail::Typed<CASN1_SET>(*this, 1, "EnvelopedData.recipientInfos");
}

CASN1_RecipientInfo& CASN1_EnvelopedData::GetRecipientInfo(int index) const {
    return vorlan::detail::Typed<CASN1_RecipientInfo>(GetRecipientInfos(), index, "recipientInfo");
}

CASN1_EncryptedContentInfo& CASN1_EnvelopedData::GetEncryptedContentInfo() const {
    return vorlan::detail::Typed<CASN1_EncryptedContentInfo>(*this, 2, "EnvelopedData.encryptedContentInfo");
}

int CASN1_EnvelopedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "EnvelopedData");
        CheckVersion(reader, 0, "EnvelopedData is not valid (cannot get version number)");
        CheckSetOf(reader.Next(kASN1Set, "recipientInfos"), 0, CASN1_RecipientInfo::isValid, "recipientInfos");
        CheckNext(reader, CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo");
        reader.End("EnvelopedData");
    });
}

CASN1_EncryptedData::CASN1_EncryptedData(CASN1_EncryptedContentInfo* content) {
    AppendAll(*this, new CASN1_INTEGER(0ul), content);
}

CASN1_EncryptedData::CASN1_EncryptedData(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidEncrypted);
}

CASN1_EncryptedData::CASN1_EncryptedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_encryptedData(), isValid, kInvalidEncrypted);
}

CASN1_EncryptedContentInfo& CASN1_EncryptedData::GetEncryptedContentInfo() const {
    return vorlan::detail::Typed<CASN1_EncryptedContentInfo>(*this, 1, "EncryptedData.encryptedContentInfo");
}

int CASN1_EncryptedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "EncryptedData");
        CheckVersion(reader, 0, "EncryptedData is not valid (cannot get version number)");
        CheckNext(reader, CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo");
        reader.End("EncryptedData");
    });
}
