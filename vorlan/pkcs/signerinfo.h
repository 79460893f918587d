/// \file
/// CASN1_SignerInfo: one signer of a PKCS #7 signed message — the signer's certificate by
/// issuer and serial number, the digest algorithm, the optional signed (authenticated)
/// attributes, the signature algorithm and the signature, optional unsigned attributes.
#pragma once

#include "vorlan/asn1/octetstring.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/pkcs/attribute.h"
#include "vorlan/rsa/rsapublickey.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/certificate.h"

/// SignerInfo (RFC 2315 9.2), also in OpenSSL's six-component form. Accessors give references
/// into the value, which keeps owning them; a malformed structure is the decoding exception.
class CASN1_SignerInfo : public CASN1_SEQUENCE {
public:
    CASN1_SignerInfo() = default;
    /// Version 1 and the four, owned from now on; no attributes.
    CASN1_SignerInfo(CASN1_IssuerAndSerialNumber* issuerAndSerialNumber, CASN1_AlgorithmIdentifier* digestAlgorithm,
                     CASN1_AlgorithmIdentifier* digestEncryptionAlgorithm, CASN1_OCTET_STRING* encryptedDigest);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SignerInfo)

    ///@{
    /// 1 when the signed (authenticated) or the unsigned attributes are present.
    int IsAuthenticatedAttributes() const;
    int IsUnauthenticatedAttributes() const;
    ///@}
    /// New sets, the caller's; clearAfterGet moves the attributes out instead of copying them.
    CASN1_SET* GetAuthenticatedAttributes(int clearAfterGet);
    /// The unsigned attributes, as GetAuthenticatedAttributes gives the signed ones.
    CASN1_SET* GetUnauthenticatedAttributes(int clearAfterGet);
    /// Replaces or inserts the signed attributes: copies of those of `attributes`, in DER order.
    void SetAuthenticatedAttributes(const CASN1_SET& attributes);
    /// The octets a signature over signed attributes covers: their DER as a SET (tag 0x31).
    void GetAuthenticatedAttributesEncoding(CByteArray& out) const;

    /// The signer's certificate by issuer and serial number.
    CASN1_IssuerAndSerialNumber& GetIssuerAndSerialNumber() const;
    /// The digest algorithm of the content and the signed attributes.
    CASN1_AlgorithmIdentifier& GetDigestAlgorithm() const;
    /// The signature algorithm (digestEncryptionAlgorithm).
    CASN1_AlgorithmIdentifier& GetDigestEncyptionAlgorithm() const;
    /// The signature (encryptedDigest).
    CASN1_OCTET_STRING& GetEncryptedDigest() const;

    /// 1 when the signature is this signer's over content of type `contentType` and digest
    /// `contentDigest` (of the signer's digest algorithm, MD2, MD5, SHA-1 or SHA-256), made with
    /// rsaEncryption or the RSA signature algorithm of that digest. With signed attributes the
    /// signature covers them, and they must hold exactly one contentType, `contentType`, and
    /// one messageDigest, `contentDigest`; without them the content must be data. Else 0, and
    /// LastDecodingReason() on the calling thread says why: "unknown digest", "signature
    /// algorithm is not RSA with the signer's digest", "signed content type differs", "message
    /// digest differs", "content other than data signed without attributes", "signature
    /// differs", or the reason of a malformed field.
    int IsSignatureOKFor(const CRSAPublicKey& key, const CASN1_OBJECT_IDENTIFIER& contentType,
                         const unsigned char* contentDigest, int length) const;
    /// The same with the key of the signer's certificate, RSA or EC. With an EC key the
    /// signature algorithm is id-ecPublicKey or ecdsa-with-SHA256, -SHA384 or -SHA512 of the
    /// signer's digest (SHA-256, SHA-384 or SHA-512) and the signature a DER Ecdsa-Sig-Value;
    /// another is "signature algorithm is not ECDSA with the signer's digest", and a point that
    /// does not read "signature not checkable".
    int IsSignatureOKFor(const CCertificate& signer, const CASN1_OBJECT_IDENTIFIER& contentType,
                         const unsigned char* contentDigest, int length) const;

    /// 1 when `value` reads as a SignerInfo, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);

private:
    /// Both checks with the key's own algorithms.
    template <class Key>
    int IsSignatureOKForKey(const Key& key, const CASN1_OBJECT_IDENTIFIER& contentType,
                            const unsigned char* contentDigest, int length) const;
};
