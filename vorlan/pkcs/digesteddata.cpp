#include "vorlan/pkcs/digesteddata.h"

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_DigestedData, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr const char* kInvalid = "DigestedData contents is not valid";

// DigestedData ::= SEQUENCE {
//      version Version,
//      digestAlgorithm DigestAlgorithmIdentifier,
//      contentInfo ContentInfo,
//      digest Digest }
struct SDigestedData {
    const CASN1Type *digestAlgorithm, *contentInfo, *digest;
};

SDigestedData WalkDigestedData(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "DigestedData", check);
    walk.Version(0, "DigestedData is not valid (cannot get the version number)");
    return walk.Ended(
        SDigestedData{.digestAlgorithm = &walk.Checked(CASN1_AlgorithmIdentifier::isValid, "digestAlgorithm"),
                      .contentInfo = &walk.Checked(CASN1_ContentInfo::isValid, "contentInfo"),
                      .digest = &walk.Next(kASN1OctetString, "digest")});
}

}  // namespace

CASN1_DigestedData::CASN1_DigestedData(const CASN1_AlgorithmIdentifier& digestAlgorithm, CASN1_ContentInfo* content,
                                       const unsigned char* digest, int length) {
    std::unique_ptr<CASN1_ContentInfo> owned(content);
    if (length < 0) ___throwDERDecodingException("DigestedData digest length %d is negative", length);
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(0ul), digestAlgorithm.clone(), owned.release(),
                              new CASN1_OCTET_STRING(digest, static_cast<unsigned long>(length)));
}

CASN1_DigestedData::CASN1_DigestedData(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalid);
}

CASN1_DigestedData::CASN1_DigestedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_digestedData(), isValid, kInvalid);
}

CASN1_AlgorithmIdentifier& CASN1_DigestedData::GetDigestAlgorithm() const {
    return vorlan::detail::Typed<CASN1_AlgorithmIdentifier>(*this, WalkDigestedData(*this).digestAlgorithm,
                                                            "DigestedData.digestAlgorithm");
}

CASN1_ContentInfo& CASN1_DigestedData::GetContentInfo() const {
    return vorlan::detail::Typed<CASN1_ContentInfo>(*this, WalkDigestedData(*this).contentInfo,
                                                    "DigestedData.contentInfo");
}

int CASN1_DigestedData::GetDigest(unsigned char* out, int length) const {
    const auto& digest =
        vorlan::detail::Typed<CASN1_OCTET_STRING>(*this, WalkDigestedData(*this).digest, "DigestedData.digest");
    if (length < 0 || static_cast<unsigned long>(length) != digest.getClearContentsLength()) return 0;
    return digest.GetClearData(out, static_cast<unsigned long>(length), 1, 0);
}

int CASN1_DigestedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkDigestedData, value, anyTag);
}
