/// \file
/// CASN1_SignedData: PKCS #7 signed data — version 1, the digest algorithms, the signed
/// content, optional certificates and revocation lists, and the signers.
#pragma once

#include "vorlan/pkcs/contentinfo.h"
#include "vorlan/pkcs/signedcontent.h"

/// SignedData ::= SEQUENCE { version 1, digestAlgorithms, contentInfo, certificates [0]
/// OPTIONAL, crls [1] OPTIONAL, signerInfos } (RFC 2315 9.1); accessors as CASN1_SignedContent's.
class CASN1_SignedData : public CASN1_SignedContent {
public:
    CASN1_SignedData() = default;
    /// Version 1, no digest algorithms, the content (owned from now on), no signers.
    explicit CASN1_SignedData(CASN1_ContentInfo* content);
    /// Decodes and checks; cleared and "SignedData contents is not valid" otherwise.
    explicit CASN1_SignedData(CDEREncoding& der);
    /// The content of a signedData ContentInfo; the decoding exception for another type.
    explicit CASN1_SignedData(const CASN1_ContentInfo& message);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SignedData)

    /// The signed content (without content for a detached signature).
    CASN1_ContentInfo& GetContentInfo() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    vorlan::detail::SSignedParts signedParts() const override;
};
