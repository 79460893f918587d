/// \file
/// CASN1_SignedAndEnvelopedData: PKCS #7 signed-and-enveloped data — version 1, the
/// recipients, the digest algorithms, the encrypted content, optional certificates and
/// revocation lists, and the signers.
#pragma once

#include "vorlan/pkcs/envelopeddata.h"
#include "vorlan/pkcs/signedcontent.h"

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

    void AddRecipientInfo(CASN1_RecipientInfo* recipientInfo);
    CASN1_SET& GetRecipientInfos() const;
    CASN1_RecipientInfo& GetRecipientInfo(int index) const;
    CASN1_EncryptedContentInfo& GetEncryptedContentInfo() const;

    static int isValid(const CASN1Type* value, int anyTag);

protected:
    vorlan::detail::SSignedParts signedParts() const override;
};
