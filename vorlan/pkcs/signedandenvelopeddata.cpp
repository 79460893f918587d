#include "vorlan/pkcs/signedandenvelopeddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignedAndEnvelopedData, CASN1_CONSTRUCTED_TYPE)

namespace {
constexpr const char* kInvalid = "SignedAndEnvelopedData contents is not valid";
}

CASN1_SignedAndEnvelopedData::CASN1_SignedAndEnvelopedData(CASN1_EncryptedContentInfo* content) {
    std::unique_ptr<CASN1_EncryptedContentInfo> owned(content);
    AddObject(new CASN1_INTEGER(1));
    AddObject(new CASN1_SET);
    AddObject(new CASN1_SET);
    AddObject(owned.release());
    AddObject(new CASN1_SET);
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
    return vorlan::detail::Typed<CASN1_SET>(*this, 1, "SignedAndEnvelopedData.recipientInfos");
}

CASN1_RecipientInfo& CASN1_SignedAndEnvelopedData::GetRecipientInfo(int index) const {
    return vorlan::detail::Typed<CASN1_RecipientInfo>(GetRecipientInfos(), index, "recipientInfo");
}

CASN1_EncryptedContentInfo& CASN1_SignedAndEnvelopedData::GetEncryptedContentInfo() const {
    return vorlan::detail::Typed<CASN1_EncryptedContentInfo>(*this, 3, "SignedAndEnvelopedData.encryptedContentInfo");
}

int CASN1_SignedAndEnvelopedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "SignedAndEnvelopedData");
        CheckVersion(reader, 1, "SignedAndEnvelopedData is not valid (cannot get version number)");
        CheckSetOf(reader.Next(kASN1Set, "recipientInfos"), 0, CASN1_RecipientInfo::isValid, "recipientInfos");
        const CASN1Type& digestAlgorithms = reader.Next(kASN1Set, "digestAlgorithms");
        CheckSetOf(digestAlgorithms, 0, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithms");
        CheckNext(reader, CASN1_EncryptedContentInfo::isValid, "encryptedContentInfo");
        CheckSignedTail(reader, digestAlgorithms, "SignedAndEnvelopedData");
    });
}
