#include "vorlan/pkcs/signeddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignedData, CASN1_CONSTRUCTED_TYPE)

namespace {
constexpr const char* kInvalid = "SignedData contents is not valid";
}

CASN1_SignedData::CASN1_SignedData(CASN1_ContentInfo* content) {
    std::unique_ptr<CASN1_ContentInfo> owned(content);
    AddObject(new CASN1_INTEGER(1));
    AddObject(new CASN1_SET);
    AddObject(owned.release());
    AddObject(new CASN1_SET);
}

CASN1_SignedData::CASN1_SignedData(CDEREncoding& der) { vorlan::detail::DecodeChecked(*this, der, isValid, kInvalid); }

CASN1_SignedData::CASN1_SignedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_signedData(), isValid, kInvalid);
}

CASN1_ContentInfo& CASN1_SignedData::GetContentInfo() const {
    return vorlan::detail::Typed<CASN1_ContentInfo>(*this, 2, "SignedData.contentInfo");
}

int CASN1_SignedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "SignedData");
        CheckVersion(reader, 1, "SignedData is not valid (cannot get version number)");
        const CASN1Type& digestAlgorithms = reader.Next(kASN1Set, "digestAlgorithms");
        CheckSetOf(digestAlgorithms, 0, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithms");
        CheckNext(reader, CASN1_ContentInfo::isValid, "contentInfo");
        CheckSignedTail(reader, digestAlgorithms, "SignedData");
    });
}
