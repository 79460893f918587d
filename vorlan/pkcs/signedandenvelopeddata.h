/// \file
/// CASN1_SignedAndEnvelopedData: PKCS #7 signed-and-enveloped data — version 1, the
/// recipients, the digest algorithms, the encrypted content, optional certificates and
/// revocation lists, and the signers.
#pragma once

#include "vorlan/pkcs/envelopeddata.h"
#include "vorlan/pkcs/signedcontent.h"

/// SignedAndEnvelopedData ::= SEQUENCE { version 1, recipientInfos, digestAlgorithms,
/// encryptedContentInfo, certificates [0] OPTIONAL, crls [1] OPTIONAL, signerInfos }
/// (RFC 2315 11); accessors as CASN1_SignedContent's.
class CASN1_SignedAndEnvelopedData : public CASN1_SignedContent {
public:
    CASN1_SignedAndEnvelopedData() = default;
    /// Version 1, no recipients, no digest algorithms, the content (owned), no signers.
    explicit CASN1_SignedAndEnvelopedData(CASN1_EncryptedContentInfo* content);
    /// Decodes and checks; cleared and "SignedAndEnvelopedData contents is not valid" otherwise.
    explicit CASN1_SignedAndEnvelopedData(CDEREncoding& der);
    /// The content of a signedAndEnvelopedData ContentInfo; the decoding exception for another type.
    explicit CASN1_SignedAndEnvelopedData(const CASN1_ContentInfo& message);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SignedAndEnvelopedData)

    /// Adds a recipient, owned from now on.
    void AddRecipientInfo(CASN1_RecipientInfo* recipientInfo);
    /// The recipients.
    CASN1_SET& GetRecipientInfos() const;
    /// Recipient `index`; the decoding exception out of range.
    CASN1_RecipientInfo& GetRecipientInfo(int index) const;
    /// The encrypted content with its type and algorithm.
    CASN1_EncryptedContentInfo& GetEncryptedContentInfo() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    vorlan::detail::SSignedParts signedParts() const override;
};
