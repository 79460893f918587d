/// \file
/// CASN1_SubjectPublicKeyInfo: the algorithm (rsaEncryption) and the RSAPublicKey in a
/// BIT STRING, to and from a certificate's key fields or a CRSAPublicKey; or id-ecPublicKey on
/// the named curve P-256 or P-384 and its point, to and from a certificate's EC key. Keys of
/// other algorithms or curves and longer RSA keys are carried but cannot be read into those.
#pragma once

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/rsa/rsapublickey.h"
#include "vorlan/x509/algorithmidentifier.h"

class CCertificate;

/// SubjectPublicKeyInfo ::= SEQUENCE { algorithm, subjectPublicKey BIT STRING }; it owns both.
class CASN1_SubjectPublicKeyInfo : public CASN1_SEQUENCE {
public:
    CASN1_SubjectPublicKeyInfo() = default;
    /// The two, owned from now on.
    CASN1_SubjectPublicKeyInfo(CASN1_AlgorithmIdentifier* algorithm, CASN1_BIT_STRING* subjectPublicKey);
    /// The key written as GetDataFrom does.
    explicit CASN1_SubjectPublicKeyInfo(const CRSAPublicKey& key);
    /// The certificate's key written as GetDataFrom does.
    explicit CASN1_SubjectPublicKeyInfo(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SubjectPublicKeyInfo)

    /// rsaEncryption with NULL parameters and the key's modulus and exponent.
    void GetDataFrom(const CRSAPublicKey& key);
    /// The key's numbers; its length is an INTEGER parameter of the algorithm, else the
    /// modulus length (NULL or absent parameters). A failure raises the decoding exception
    /// and leaves the key as it was; a key the library cannot use (RSA past 4,096 bits, a
    /// key of another algorithm) says so.
    void SetDataTo(CRSAPublicKey& key) const;
    /// The same with the key fields of a certificate; an EC key as id-ecPublicKey with its named
    /// curve and its point as the certificate keeps it.
    void GetDataFrom(const CCertificate& certificate);
    /// The same into the key fields of a certificate, an id-ecPublicKey key on P-256 or P-384 too
    /// (its point checked to be on the curve). Explicit EC parameters, other curves and points
    /// off the curve are refused with the decoding exception, which changes nothing.
    void SetDataTo(CCertificate& certificate) const;

    /// An AlgorithmIdentifier, then a BIT STRING of whole octets; for rsaEncryption it holds
    /// an RSAPublicKey of any length. The key of another algorithm is not examined, so that
    /// certificates with keys the library cannot use stay readable.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
void CheckSubjectPublicKeyInfo(const CASN1Type& value, int anyTag);
void ReadSubjectPublicKeyInfo(const CASN1Type& value, CRSAPublicKey& key);
void ReadSubjectPublicKeyInfo(const CASN1Type& value, CCertificate& certificate);
}  // namespace vorlan::detail
