#include "vorlan/pkcs/signeddata.h"

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SignedData, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr const char* kInvalid = "SignedData contents is not valid";

struct SSignedData : vorlan::detail::SSignedParts {
    const CASN1Type* contentInfo;
};

// SignedData ::= SEQUENCE {
//      version Version,
//      digestAlgorithms DigestAlgorithmIdentifiers,
//      contentInfo ContentInfo,
//      certificates [0] IMPLICIT ExtendedCertificatesAndCertificates OPTIONAL,
//      crls [1] IMPLICIT CertificateRevocationLists OPTIONAL,
//      signerInfos SignerInfos }
SSignedData WalkSignedData(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "SignedData", check);
    walk.Version(1, "SignedData is not valid (cannot get version number)");
    SSignedData fields{};
    fields.digestAlgorithms = &walk.SetOf(kASN1Set, CASN1_AlgorithmIdentifier::isValid, "digestAlgorithms");
    fields.contentInfo = &walk.Checked(CASN1_ContentInfo::isValid, "contentInfo");
    vorlan::detail::WalkSignedTail(walk, fields, "SignedData");
    return fields;
}

}  // namespace

CASN1_SignedData::CASN1_SignedData(CASN1_ContentInfo* content) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(1), new CASN1_SET, content, new CASN1_SET);
}

CASN1_SignedData::CASN1_SignedData(CDEREncoding& der) { vorlan::detail::DecodeChecked(*this, der, isValid, kInvalid); }

CASN1_SignedData::CASN1_SignedData(const CASN1_ContentInfo& message) {
    vorlan::detail::FromContent(*this, message, CASN1_signedData(), isValid, kInvalid);
}

CASN1_ContentInfo& CASN1_SignedData::GetContentInfo() const {
    return vorlan::detail::Typed<CASN1_ContentInfo>(*this, WalkSignedData(*this).contentInfo, "SignedData.contentInfo");
}

vorlan::detail::SSignedParts CASN1_SignedData::signedParts() const { return WalkSignedData(*this); }

int CASN1_SignedData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkSignedData, value, anyTag);
}
