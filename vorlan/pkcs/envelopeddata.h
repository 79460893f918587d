/// \file
/// PKCS #7 enveloped data: CASN1_EncryptedContentInfo (content type, content-encryption
/// algorithm, the encrypted content under [0] IMPLICIT), CASN1_RecipientInfo (a recipient's
/// certificate and the content key wrapped for it), CASN1_EnvelopedData (version 0, the
/// recipients, the encrypted content) and CASN1_EncryptedData (version 0, the encrypted content).
#pragma once

#include "vorlan/asn1/octetstring.h"
#include "vorlan/pkcs/attribute.h"
#include "vorlan/pkcs/contentinfo.h"
#include "vorlan/x509/algorithmidentifier.h"

/// EncryptedContentInfo ::= SEQUENCE { contentType, contentEncryptionAlgorithm,
/// encryptedContent [0] IMPLICIT OPTIONAL } (RFC 2315 10.1). Accessors give references into the
/// value, which keeps owning them; a malformed structure is the decoding exception.
class CASN1_EncryptedContentInfo : public CASN1_SEQUENCE {
public:
    CASN1_EncryptedContentInfo() = default;
    /// The three in order, owned from now on. The encrypted content (null: none) is written
    /// as [0] IMPLICIT whatever it is given as: an OCTET STRING is re-tagged, a [0] kept.
    CASN1_EncryptedContentInfo(CASN1_OBJECT_IDENTIFIER* contentType, CASN1_AlgorithmIdentifier* algorithm,
                               CASN1_TAGGED* encryptedContent);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_EncryptedContentInfo)

    /// The type of the encrypted content.
    CASN1_OBJECT_IDENTIFIER& GetContentType() const;
    /// The content-encryption algorithm and its parameters.
    CASN1_AlgorithmIdentifier& GetContentEncryptionAlgorithm() const;
    /// 1 when the encrypted content is present.
    int IsEncryptedContent() const;
    /// The [0] component; its clear contents are the ciphertext (decryptClearContents opens it).
    CASN1_TAGGED& GetEncryptedContent() const;
    /// Takes the encrypted content out without destroying it: the caller, who reached it
    /// before, owns it from now on.
    void ReleaseContent();

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};

/// RecipientInfo ::= SEQUENCE { version, issuerAndSerialNumber, keyEncryptionAlgorithm,
/// encryptedKey } (RFC 2315 10.2); accessors as EncryptedContentInfo's.
class CASN1_RecipientInfo : public CASN1_SEQUENCE {
public:
    CASN1_RecipientInfo() = default;
    /// Version 0 and the three, owned from now on.
    CASN1_RecipientInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber,
                        CASN1_AlgorithmIdentifier* keyEncryptionAlgorithm, CASN1_OCTET_STRING* encryptedKey);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RecipientInfo)

    /// The recipient's certificate by issuer and serial number.
    CASN1_IssuerAndSerialNumber& GetIssuerAndSerialNumber() const;
    /// The algorithm the content key is wrapped with (rsaEncryption).
    CASN1_AlgorithmIdentifier& GetKeyEncryptionAlgorithm() const;
    /// The wrapped content key.
    CASN1_OCTET_STRING& GetEncryptedKey() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};

/// EnvelopedData ::= SEQUENCE { version 0, recipientInfos, encryptedContentInfo } (RFC 2315 10.1);
/// accessors as EncryptedContentInfo's.
class CASN1_EnvelopedData : public CASN1_SEQUENCE {
public:
    CASN1_EnvelopedData() = default;
    /// Version 0, no recipients, the content (owned from now on).
    explicit CASN1_EnvelopedData(CASN1_EncryptedContentInfo* content);
    /// Decodes and checks; cleared and "EnvelopedData contents is not valid" otherwise.
    explicit CASN1_EnvelopedData(CDEREncoding& der);
    /// The content of an envelopedData ContentInfo; the decoding exception for another type.
    explicit CASN1_EnvelopedData(const CASN1_ContentInfo& message);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_EnvelopedData)

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
};

/// EncryptedData ::= SEQUENCE { version 0, encryptedContentInfo } (RFC 2315 13); accessors as
/// EncryptedContentInfo's.
class CASN1_EncryptedData : public CASN1_SEQUENCE {
public:
    CASN1_EncryptedData() = default;
    /// Version 0 and the content (owned from now on).
    explicit CASN1_EncryptedData(CASN1_EncryptedContentInfo* content);
    /// Decodes and checks; cleared and "EncryptedData contents is not valid" otherwise.
    explicit CASN1_EncryptedData(CDEREncoding& der);
    /// The content of an encryptedData ContentInfo; the decoding exception for another type.
    explicit CASN1_EncryptedData(const CASN1_ContentInfo& message);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_EncryptedData)

    /// The encrypted content with its type and algorithm.
    CASN1_EncryptedContentInfo& GetEncryptedContentInfo() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};
