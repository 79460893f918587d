/// \file
/// CASN1_PublicKey: the PKCS #1 RSAPublicKey, modulus and public exponent, to and from
/// the fixed fields of CRSAPublicKey.
#pragma once

#include <span>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/rsa/rsapublickey.h"

/// RSAPublicKey (PKCS #1): modulus and public exponent, to and from a CRSAPublicKey.
class CASN1_PublicKey : public CASN1_SEQUENCE {
public:
    CASN1_PublicKey() = default;
    /// The two numbers, owned from now on.
    CASN1_PublicKey(CASN1_INTEGER* modulus, CASN1_INTEGER* publicExponent);
    /// The key written as GetDataFrom does.
    explicit CASN1_PublicKey(const CRSAPublicKey& key);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_PublicKey)

    /// The key's modulus and exponent, leading zeros dropped.
    void GetDataFrom(const CRSAPublicKey& key);
    /// Modulus and exponent right-aligned into the key, its length from the modulus. A
    /// number that does not fit raises the decoding exception and leaves the key as it was.
    void SetDataTo(CRSAPublicKey& key) const;

    /// Two INTEGERs of at most 513 contents octets (4,096 bits and a sign octet).
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {

/// An RSA number of up to 4,096 bits and its sign octet.
inline constexpr unsigned long kMaxKeyIntegerOctets = CRSAPublicKey::kFieldSize + 1;

void CheckPublicKey(const CASN1Type& value, int anyTag);
/// An RSAPublicKey of two INTEGERs of at most `maxOctets` contents octets each.
void CheckPublicKeyOf(const CASN1Type& value, int anyTag, unsigned long maxOctets);
/// Reads the two numbers of an RSAPublicKey value into `key`'s fields and sets its
/// length from the modulus; `reasons` are the failure texts for modulus and exponent.
void ReadPublicKey(const CASN1Type& value, CRSAPublicKey& key, const char* const (&reasons)[2]);
/// The INTEGER's clear contents right-aligned and zero-filled in `field`; `reason` when
/// they do not fit.
void ReadKeyNumber(const CASN1Type& integer, std::span<BYTE> field, const char* reason);
/// A non-negative INTEGER of a big-endian field (leading zeros dropped).
CASN1_INTEGER* NewKeyNumber(std::span<const BYTE> field);

}  // namespace vorlan::detail
