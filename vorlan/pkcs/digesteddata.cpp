#include "vorlan/pkcs/digesteddata.h"

#include <memory>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_DigestedData, CASN1_CONSTRUCTED_TYPE)

namespace {
constexpr const char* kInvalid = "DigestedData contents is not valid";
}

CASN1_DigestedData::CASN1_DigestedData(const CASN1_AlgorithmIdentifier& digestAlgorithm, CASN1_ContentInfo* content,
                                       const unsigned char* digest, int length) {
    std::unique_ptr<CASN1_ContentInfo> owned(content);
    if (length < 0) ___throwDERDecodingException("DigestedData digest length %d is negative", length);
    AddObject(new CASN1_INTEGER(0ul));
    AddObject(digestAlgorithm.clone());
    AddObject(owned.release());
    AddObject(new CASN1_OCTET_STRING(digest, static_cast<unsigned long>(length)));
}

CASN1_DigestedData::CASN1_DigestedData(CDEREncoding& der) { vorlan::detail::DecodeChecked(*this, der, isValid, kInvalid); }

CASN1_DigestedData::CASN1_DigestedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_digestedData(), isValid, kInvalid);
}

CASN1_AlgorithmIdentifier& CASN1_DigestedData::GetDigestAlgorithm() const {
    return vorlan::detail::Typed<CASN1_AlgorithmIdentifier>(*this, 1, "DigestedData.digestAlgorithm");
}

CASN1_ContentInfo& CASN1_DigestedData::GetContentInfo() const {
    return vorlan::detail::Typed<CASN1_ContentInfo>(*this, 2, "DigestedData.contentInfo");
}

int CASN1_DigestedData::GetDigest(unsigned char* out, int length) const {
    const auto& digest = vorlan::detail::Typed<CASN1_OCTET_STRING>(*this, 3, "DigestedData.digest");
    if (length < 0 || static_cast<unsigned long>(length) != digest.getClearContentsLength()) return 0;
    return digest.GetClearData(out, static_cast<unsigned long>(length), 1, 0);
}

int CASN1_DigestedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        using namespace vorlan::detail;
        CStructureReader reader = ReaderOf(*value, kASN1Sequence, anyTag, "DigestedData");
        CheckVersion(reader, 0, "DigestedData is not valid (cannot get the version number)");
        CheckNext(reader, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithm");
        CheckNext(reader, CASN1_ContentInfo::isValid, "contentInfo");
        reader.Next(kASN1OctetString, "digest");
        reader.End("DigestedData");
    });
}
