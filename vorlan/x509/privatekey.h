/// \file
/// CASN1_PrivateKey: the PKCS #1 RSAPrivateKey (version 0 and eight numbers), to and from
/// the fixed fields of CRSAPrivateKey.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/rsa/rsaprivatekey.h"

/// RSAPrivateKey (PKCS #1): version 0 and eight numbers, to and from a CRSAPrivateKey.
class CASN1_PrivateKey : public CASN1_SEQUENCE {
public:
    CASN1_PrivateKey() = default;
    /// The key written as GetDataFrom does.
    explicit CASN1_PrivateKey(const CRSAPrivateKey& key);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_PrivateKey)

    /// Version 0 and the key's eight numbers, leading zeros dropped.
    void GetDataFrom(const CRSAPrivateKey& key);
    /// The eight numbers right-aligned into the key, its length from the modulus. A number
    /// that does not fit raises the decoding exception and leaves the key as it was.
    void SetDataTo(CRSAPrivateKey& key) const;

    /// Nine INTEGERs, the first reading as 0; the numbers of 512-octet fields at most 513
    /// contents octets, those of 256-octet fields at most 257.
    static int isValid(const CASN1Type* value, int anyTag);
};
