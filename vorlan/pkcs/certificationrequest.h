/// \file
/// PKCS #10: CASN1_CertificationRequestInfo (version 0, subject, subject public key,
/// attributes under [0] IMPLICIT) and CASN1_CertificationRequest (the information, the
/// signature algorithm and the signature), signed and checked here with SHA-1 or SHA-256
/// with RSA (MD2 and MD5 with RSA are checked too).
#pragma once

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/set.h"
#include "vorlan/rsa/rsaprivatekey.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/subjectpublickeyinfo.h"

/// CertificationRequestInfo ::= SEQUENCE { version 0, subject, subjectPKInfo, attributes [0]
/// IMPLICIT } (RFC 2986). Accessors give references into the value, which keeps owning them; a
/// malformed structure is the decoding exception.
class CASN1_CertificationRequestInfo : public CASN1_SEQUENCE {
public:
    CASN1_CertificationRequestInfo() = default;
    /// Version 0, subject and key (owned from now on) and copies of the attributes under [0]
    /// in DER order (the caller keeps `attributes`).
    CASN1_CertificationRequestInfo(CASN1_RDNSequence* subject, CASN1_SubjectPublicKeyInfo* key, CASN1_SET& attributes);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CertificationRequestInfo)

    /// The subject's name.
    CASN1_RDNSequence& GetSubject() const;
    /// The subject's public key.
    CASN1_SubjectPublicKeyInfo& GetSubjectPublicKeyInfo() const;
    /// A new set of copies of the attributes, the caller's.
    CASN1_SET* GetAttributes() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};

/// CertificationRequest ::= SEQUENCE { certificationRequestInfo, signatureAlgorithm, signature }
/// (RFC 2986); accessors as the information's.
class CASN1_CertificationRequest : public CASN1_SEQUENCE {
public:
    CASN1_CertificationRequest() = default;
    /// The three in order, owned from now on.
    CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info, CASN1_AlgorithmIdentifier* algorithm,
                               CASN1_BIT_STRING* signature);
    /// The information (owned from now on) signed with `key` (see SignWith).
    CASN1_CertificationRequest(CASN1_CertificationRequestInfo* info, const CRSAPrivateKey& key);
    /// Decodes and checks; cleared and "CertificationRequest contents is not valid" otherwise.
    explicit CASN1_CertificationRequest(CDEREncoding& der);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CertificationRequest)

    /// The information that is signed.
    CASN1_CertificationRequestInfo& GetCertificationRequestInfo() const;
    /// The signature algorithm.
    CASN1_AlgorithmIdentifier& GetSignatureAlgorithm() const;
    /// The signature.
    CASN1_BIT_STRING& GetSignature() const;

    /// Signs the information with SHA-1 with RSA; the signature takes the whole modulus
    /// length, 8·k bits with no unused bits. CUnlockException from the key's operation.
    void SignWith(const CRSAPrivateKey& key);
    /// The same with `algorithm`, 2 (SHA-1) or 3 (SHA-256) with RSA; CNotSupportedException
    /// for another value.
    void SignWith(const CRSAPrivateKey& key, int algorithm);
    /// 1 when the signature is that of the information under the key the request carries
    /// (MD2, MD5, SHA-1 to SHA-512 with RSA, whole octets, exactly the modulus length; or SHA-256
    /// to SHA-512 with ECDSA for an EC key on P-256 or P-384); else 0,
    /// and LastDecodingReason() on the calling thread says why ("signature differs", …).
    int IsSignatureOK() const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};
